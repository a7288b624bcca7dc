// Message boxes routed to a replaceable handler.
#include "platform/MessageBox.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

void WriteToStandardError(const char* text, UINT) {
  std::fputs(text, stderr);
  std::size_t length = std::strlen(text);
  if (length == 0 || text[length - 1] != '\n') std::fputc('\n', stderr);
  std::fflush(stderr);
}

// The one process-wide setting of the library: where message boxes go.
std::atomic<MessageBoxHandler> g_handler{&WriteToStandardError};

void Show(const char* text, UINT style) { g_handler.load()(text ? text : "", style); }

}  // namespace

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  return g_handler.exchange(handler ? handler : &WriteToStandardError);
}

int MessageBoxA(HWND, const char* text, const char*, UINT style) {
  Show(text, style);
  return 1;
}

int AfxMessageBox(const char* text, UINT style, UINT) {
  Show(text, style);
  return 1;
}
