// Faults around files: targets that cannot take a save, files that vanish
// or shrink between recognition and reading, paths that name no file.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <thread>

#include "RobustSupport.h"
#include "support/TestSupport.h"

namespace {

using robust::Bytes;
using robust::FolderEntries;

mode_t ModeOf(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

TEST(FileFaults, SaveOntoAFullDeviceGivesZeroLeavesTheNodeAndNoTemporary) {
  zt::TempDir dir;
  // The full device made in the test's own folder, never the system's.
  const std::string device = dir.File("full.bmp");
  if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
    GTEST_SKIP() << "cannot make a device node here";
  for (int bits : {8, 24}) {
    CImageDataModel image;
    robust::MakePatterned(image, 700, 500, bits);  // far more than one write buffer
    EXPECT_EQ(image.SaveBMPImage(device.c_str()), 0) << bits;
    EXPECT_TRUE(S_ISCHR(ModeOf(device))) << bits;
    EXPECT_EQ(FolderEntries(dir.path()), std::vector<std::string>{"full.bmp"}) << bits;
    EXPECT_EQ(image.IsEmpty(), 0);
  }
}

/// Runs save in a child process without privileges (the superuser passes
/// every permission check) and returns its result, or −1.
int SaveUnprivileged(CImageDataModel& image, const std::string& path) {
  if (::geteuid() != 0) return image.SaveBMPImage(path.c_str());
  const pid_t child = ::fork();
  if (child == 0) {
    const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
    ::_exit(dropped ? image.SaveBMPImage(path.c_str()) : 100);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(FileFaults, BmpSaveInPlaceIntoAReadOnlyFolderWritesOnlyTheWritableFile) {
  zt::TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  const std::string folder = dir.File("maps");
  ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
  const Bytes previous(5000, 0x3C);
  ASSERT_TRUE(zt::WriteFileBytes(folder + "/sheet.bmp", previous));
  ASSERT_EQ(::chmod((folder + "/sheet.bmp").c_str(), 0666), 0);  // the file itself is writable
  ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
  CImageDataModel image;
  robust::MakePatterned(image, 30, 20, 24);
  // The existing, writable file is written in place; no new file can be made.
  EXPECT_EQ(SaveUnprivileged(image, folder + "/sheet.bmp"), 1);
  EXPECT_EQ(zt::ReadFileBytes(folder + "/sheet.bmp").size(), 54u + 20 * 92);
  EXPECT_EQ(SaveUnprivileged(image, folder + "/new.bmp"), 0);
  EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"sheet.bmp"});
  ASSERT_TRUE(zt::WriteFileBytes(folder + "/sheet.bmp", previous));
  // The control: with the folder writable the same save goes through.
  ASSERT_EQ(::chmod(folder.c_str(), 0777), 0);
  EXPECT_EQ(SaveUnprivileged(image, folder + "/sheet.bmp"), 1);
  EXPECT_EQ(zt::ReadFileBytes(folder + "/sheet.bmp").size(), 54u + 20 * 92);
}

TEST(FileFaults, PathsThatNameNoFileAreRefused) {
  zt::TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("folder.bmp").c_str(), 0755), 0);
  CImageDataModel image;
  EXPECT_EQ(image.TestImageFormat(dir.File("folder.bmp").c_str()), 0);
  EXPECT_EQ(image.ReadBMPImage(dir.File("folder.bmp").c_str()), 0);
  EXPECT_EQ(image.ReadBMPImage(dir.File("missing.bmp").c_str()), 0);
  EXPECT_EQ(image.ReadBMPImage(""), 0);
  EXPECT_EQ(image.IsEmpty(), 1);
  // A device that reads as endless zero bytes is no BMP file.
  if (::mknod(dir.File("zero.bmp").c_str(), S_IFCHR | 0444, makedev(1, 5)) == 0) {
    EXPECT_EQ(image.TestImageFormat(dir.File("zero.bmp").c_str()), 1);  // by its name
    EXPECT_EQ(image.ReadBMPImage(dir.File("zero.bmp").c_str()), 0);
    EXPECT_EQ(image.IsEmpty(), 1);
  }
}

TEST(FileFaults, FileRemovedAfterRecognitionIsRefusedCleanly) {
  zt::TempDir dir;
  CImageDataModel source;
  robust::MakePatterned(source, 9, 7, 8);
  ASSERT_EQ(source.SaveBMPImage(dir.File("a.bmp").c_str()), 1);
  CImageDataModel image;
  ASSERT_EQ(image.TestImageFormat(dir.File("a.bmp").c_str()), 1);
  ASSERT_EQ(::unlink(dir.File("a.bmp").c_str()), 0);
  EXPECT_EQ(image.ReadBMPImage(dir.File("a.bmp").c_str()), 0);
  EXPECT_EQ(image.IsEmpty(), 1);
  EXPECT_EQ(image.TestImageFormat(dir.File("a.bmp").c_str()), 0);
}

// The reader never trusts what recognition saw: whatever length the file
// has by the time it is read, it loads the rows that are there (the rest
// zero) or refuses a file too short for its headers.
TEST(FileFaults, FileTruncatedAfterRecognitionLoadsWhatRemainsOrIsRefused) {
  zt::TempDir dir;
  for (int bits : {8, 24}) {
    CImageDataModel source;
    robust::MakePatterned(source, 5, 4, bits);
    const std::string path = dir.File("cut.bmp");
    ASSERT_EQ(source.SaveBMPImage(path.c_str()), 1);
    const Bytes whole = zt::ReadFileBytes(path);
    const std::size_t pixelsAt = bits == 8 ? 1078 : 54;
    const std::size_t pixelBytes = std::size_t{source.GetLineBytes()} * source.GetHeight();
    ASSERT_EQ(whole.size(), pixelsAt + pixelBytes);
    for (std::size_t length = 0; length <= whole.size(); ++length) {
      ASSERT_TRUE(zt::WriteFileBytes(path, whole));
      CImageDataModel image;
      ASSERT_EQ(image.TestImageFormat(path.c_str()), 1);
      ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(length)), 0);
      const int result = image.ReadBMPImage(path.c_str());
      if (length < 54) {
        EXPECT_EQ(result, 0) << bits << " " << length;
        EXPECT_EQ(image.IsEmpty(), 1) << bits << " " << length;
        continue;
      }
      ASSERT_EQ(result, 1) << bits << " " << length;
      const BYTE* pixels = image.GetBuffer();
      for (std::size_t i = 0; i < pixelBytes; ++i) {
        const std::size_t at = pixelsAt + i;
        ASSERT_EQ(pixels[i], at < length ? whole[at] : 0) << bits << " " << length << " " << i;
      }
    }
  }
}

// Opening a pipe for reading used to wait for a writer: a host that met a
// pipe named like a map hung. The helper thread rescues a reader that
// waits, and the test fails if it had to.
TEST(FileFaults, ReadingAPipeThatNoOneWritesToDoesNotWait) {
  zt::TempDir dir;
  const std::string pipe = dir.File("pipe.bmp");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;
  bool rescued = false;
  std::thread rescuer([&] {
    std::unique_lock<std::mutex> lock(mutex);
    if (finished.wait_for(lock, std::chrono::seconds(20), [&] { return done; })) return;
    for (int attempt = 0; attempt < 200 && !done; ++attempt) {
      // Each open lets a waiting open of the reader through.
      lock.unlock();
      const int fd = ::open(pipe.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
      rescued = rescued || fd >= 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      lock.lock();
    }
  });
  CImageDataModel image;
  const short format = image.TestImageFormat(pipe.c_str());
  const int read = image.ReadBMPImage(pipe.c_str());
  {
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
  }
  finished.notify_one();
  rescuer.join();
  EXPECT_FALSE(rescued) << "the reader waited for a writer";
  EXPECT_EQ(format, 1);  // an empty file, recognised by its name
  EXPECT_EQ(read, 0);
  EXPECT_EQ(image.IsEmpty(), 1);
}

}  // namespace
