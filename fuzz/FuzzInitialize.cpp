// Start-up shared by every fuzz target: message boxes are counted (each
// target checks how many an input raised) instead of printed.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetMessageBoxHandler(&fuzz::CountMessage);
  return 0;
}
