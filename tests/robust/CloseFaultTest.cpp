// A file whose close or read fails: the test program interposes the
// system's close and read, which the library reaches through the dynamic
// linker, so that while armed every close releases the descriptor and then
// reports an I/O error, and reads fail with one once a number of bytes has
// been read.
#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>

#include "RobustSupport.h"
#include "support/TestSupport.h"

namespace {

bool g_failCloses = false;
int g_failedCloses = 0;
// Bytes reads may still give before they fail; −1: reads never fail.
long g_readBudget = -1;

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

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
  using ReadFunction = ssize_t (*)(int, void*, size_t);
  static const ReadFunction real = reinterpret_cast<ReadFunction>(dlsym(RTLD_NEXT, "read"));
  if (g_readBudget < 0) return real(fd, buffer, count);
  if (g_readBudget == 0) {
    errno = EIO;
    return -1;
  }
  const ssize_t n = real(fd, buffer, std::min(count, static_cast<size_t>(g_readBudget)));
  if (n > 0) g_readBudget -= n;
  return n;
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

// bmp-failed-read-cleared: a read that the system fails after the block is
// made (in the colour table, or part way through the rows) gives 0 and the
// note "read error", and leaves the image in the record with every row and
// the spare row zero, none of the bytes read before the failure.
TEST(ReadFaults, BmpFailedReadClearedLeavesOnlyZeroRows) {
  zt::TempDir dir;
  const std::string path = dir.File("a.bmp");
  for (int bits : {8, 24}) {
    CImageDataModel source;
    robust::MakePatterned(source, 13, 6, bits);
    ASSERT_EQ(source.SaveBMPImage(path.c_str()), 1);
    const long pixelsAt = bits == 8 ? 1078 : 54;
    // 54: the headers read, the next read fails; then 20 bytes of rows.
    for (long budget : {54L, pixelsAt + 20}) {
      SCOPED_TRACE(std::to_string(bits) + " " + std::to_string(budget));
      CImageDataModel image;
      g_readBudget = budget;
      const int result = image.ReadBMPImage(path.c_str());
      g_readBudget = -1;
      EXPECT_EQ(result, 0);
      EXPECT_EQ(image.GetLastReadNote(), ZENTREL_NOTE_READ_ERROR);
      ASSERT_EQ(image.IsEmpty(), 0);
      EXPECT_EQ(image.GetWidth(), 13u);
      const BYTE* rows = image.GetBuffer();
      const std::size_t bytes = std::size_t{image.GetLineBytes()} * (image.GetHeight() + 1);
      EXPECT_EQ(std::count(rows, rows + bytes, 0), static_cast<std::ptrdiff_t>(bytes));
    }
  }
}

}  // namespace
