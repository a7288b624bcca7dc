// A file whose close fails: the test program interposes the system's close,
// which the library reaches through the dynamic linker, so that while armed
// every close releases the descriptor and then reports an I/O error.
#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include "RobustSupport.h"
#include "support/TestSupport.h"

namespace {

bool g_failCloses = false;
int g_failedCloses = 0;

}  // namespace

extern "C" int close(int fd) {
  using CloseFunction = int (*)(int);
  static const CloseFunction real = reinterpret_cast<CloseFunction>(dlsym(RTLD_NEXT, "close"));
  const int result = real(fd);
  if (!g_failCloses || result != 0) return result;
  ++g_failedCloses;
  errno = EIO;
  return -1;
}

namespace {

struct Outcome {
  int result = -1;
  int note = -1;
  bool empty = true;
  robust::Snapshot image;
};

Outcome Read(const std::function<int(CImageDataModel&)>& read, bool failCloses) {
  CImageDataModel record;
  Outcome outcome;
  g_failCloses = failCloses;
  outcome.result = read(record);
  g_failCloses = false;
  outcome.note = record.GetLastReadNote();
  outcome.empty = record.IsEmpty() != 0;
  if (!outcome.empty) outcome.image = robust::Take(record);
  return outcome;
}

// bmp-close-failure: a BMP read whose file fails to close after everything
// was read gives what it gives when the close succeeds: the same result,
// note and image, whether the file loads whole, loads cut short or is
// refused.
TEST(CloseFaults, BmpCloseFailureChangesNoReadOutcome) {
  zt::TempDir dir;
  for (int bits : {8, 24}) {
    CImageDataModel source;
    robust::MakePatterned(source, 13, 6, bits);
    ASSERT_EQ(source.SaveBMPImage(dir.File("whole.bmp").c_str()), 1);
    robust::Bytes bytes = zt::ReadFileBytes(dir.File("whole.bmp"));
    robust::Bytes cut(bytes.begin(), bytes.end() - 9);
    ASSERT_TRUE(zt::WriteFileBytes(dir.File("cut.bmp"), cut));
    // Top-down: taken by the widened reader only.
    std::int32_t height = 0;
    std::memcpy(&height, &bytes[22], 4);
    height = -height;
    std::memcpy(&bytes[22], &height, 4);
    ASSERT_TRUE(zt::WriteFileBytes(dir.File("top-down.bmp"), bytes));

    for (const char* name : {"whole.bmp", "cut.bmp", "top-down.bmp"}) {
      const std::string path = dir.File(name);
      const std::vector<std::pair<const char*, std::function<int(CImageDataModel&)>>> readers = {
          {"narrow", [&](CImageDataModel& r) { return r.ReadBMPImage(path.c_str()); }},
          {"widened",
           [&](CImageDataModel& r) { return r.ReadBMPImage(path.c_str(), ZENTREL_READ_WIDE); }},
          {"by content", [&](CImageDataModel& r) { return r.ReadImage(path.c_str(), 0); }},
      };
      for (const auto& [reader, read] : readers) {
        SCOPED_TRACE(std::string(reader) + " " + name + " " + std::to_string(bits));
        const Outcome healthy = Read(read, false);
        g_failedCloses = 0;
        const Outcome failing = Read(read, true);
        EXPECT_GT(g_failedCloses, 0) << "the read closed no file";
        EXPECT_EQ(failing.result, healthy.result);
        EXPECT_EQ(failing.note, healthy.note);
        EXPECT_EQ(failing.empty, healthy.empty);
        EXPECT_TRUE(failing.image == healthy.image);
      }
    }
  }
}

}  // namespace
