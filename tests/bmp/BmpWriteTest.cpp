// Saving BMP files: the bytes written, the record fields brought up to
// date, and the replacement of an existing file only once the new one is
// complete (links, devices, permissions, failures part-way).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "BmpTestFiles.h"
#include "support/TestSupport.h"

namespace {

using bmptest::Bytes;
using bmptest::Record;
using bmptest::U16At;
using bmptest::U32At;

/// An 8-bit or 24-bit image whose table and pixel bytes all differ.
void MakePatterned(CImageDataModel& image, int width, int height, int bits) {
  zt::MakeImage(image, width, height, bits);
  BYTE* table = reinterpret_cast<BYTE*>(image.GetPalette());
  for (int i = 0; i < 4 * image.GetImageColors(); ++i) table[i] = static_cast<BYTE>(i * 5 + 3);
  for (UINT i = 0; i < image.GetLineBytes() * image.GetHeight(); ++i)
    image.GetBuffer()[i] = static_cast<BYTE>(i * 11 + 1);
}

mode_t ModeOf(const std::string& path) {
  struct stat info;
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode;
}

TEST(BmpWrite, EightBitTenByThreeSavesAs1114BytesLaidOutInOrder) {
  zt::TempDir dir;
  CImageDataModel image;
  MakePatterned(image, 10, 3, 8);
  ASSERT_EQ(image.SaveBMPImage(dir.File("a.bmp")), 1);
  const Bytes file = zt::ReadFileBytes(dir.File("a.bmp"));
  ASSERT_EQ(file.size(), 1114u);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[1], 'M');
  EXPECT_EQ(U32At(file, 2), 1114u);
  EXPECT_EQ(U32At(file, 6), 0u) << "reserved";
  EXPECT_EQ(U32At(file, 10), 1078u);
  EXPECT_EQ(U32At(file, 14), 40u);
  EXPECT_EQ(U32At(file, 18), 10u);
  EXPECT_EQ(U32At(file, 22), 3u);
  EXPECT_EQ(U16At(file, 26), 1);
  EXPECT_EQ(U16At(file, 28), 8);
  EXPECT_EQ(U32At(file, 30), 0u);
  EXPECT_EQ(U32At(file, 34), 36u);
  EXPECT_EQ(U32At(file, 46), 256u);
  EXPECT_EQ(U32At(file, 50), 256u);
  const BYTE* table = reinterpret_cast<const BYTE*>(image.GetPalette());
  EXPECT_EQ(Bytes(file.begin() + 54, file.begin() + 1078), Bytes(table, table + 1024));
  EXPECT_EQ(Bytes(file.begin() + 1078, file.end()),
            Bytes(image.GetBuffer(), image.GetBuffer() + 36));
}

TEST(BmpWrite, TwentyFourBitTenByThreeSavesAs150BytesWithoutTable) {
  zt::TempDir dir;
  CImageDataModel image;
  MakePatterned(image, 10, 3, 24);
  ASSERT_EQ(image.SaveBMPImage(dir.File("a.bmp")), 1);
  const Bytes file = zt::ReadFileBytes(dir.File("a.bmp"));
  ASSERT_EQ(file.size(), 150u);
  EXPECT_EQ(U32At(file, 2), 150u);
  EXPECT_EQ(U32At(file, 10), 54u);
  EXPECT_EQ(U16At(file, 28), 24);
  EXPECT_EQ(U32At(file, 34), 96u);
  EXPECT_EQ(U32At(file, 46), 0u);
  EXPECT_EQ(Bytes(file.begin() + 54, file.end()), Bytes(image.GetBuffer(), image.GetBuffer() + 96));
}

TEST(BmpWrite, SizeFieldsFollowTheRecordAndOtherFieldsAreWrittenAsHeld) {
  zt::TempDir dir;
  Record image;
  MakePatterned(image, 6, 5, 8);
  image.m_pBmh->biWidth = 999;
  image.m_pBmh->biHeight = -3;
  image.m_pBmh->biSizeImage = 0;
  image.m_pBmh->biXPelsPerMeter = 1234;
  image.m_pBmh->biClrImportant = 7;
  ASSERT_EQ(image.SaveBMPImage(dir.File("a.bmp")), 1);
  EXPECT_EQ(image.m_pBmh->biWidth, 6);
  EXPECT_EQ(image.m_pBmh->biHeight, 5);
  EXPECT_EQ(image.m_pBmh->biSizeImage, 40u);
  const Bytes file = zt::ReadFileBytes(dir.File("a.bmp"));
  EXPECT_EQ(U32At(file, 18), 6u);
  EXPECT_EQ(U32At(file, 22), 5u);
  EXPECT_EQ(U32At(file, 34), 40u);
  EXPECT_EQ(U32At(file, 38), 1234u);
  EXPECT_EQ(U32At(file, 50), 7u);
}

TEST(BmpWrite, SavedFilesReadBackIdenticallyAndSaveToTheSameBytes) {
  for (int bits : {8, 24}) {
    zt::TempDir dir;
    CImageDataModel image;
    MakePatterned(image, 37, 19, bits);
    ASSERT_EQ(image.SaveBMPImage(dir.File("a.bmp")), 1);
    CImageDataModel copy;
    ASSERT_EQ(copy.ReadBMPImage(dir.File("a.bmp")), 1);
    EXPECT_TRUE(bmptest::ContentOf(copy) == bmptest::ContentOf(image)) << bits;
    ASSERT_EQ(copy.SaveBMPImage(dir.File("b.bmp")), 1);
    EXPECT_EQ(zt::ReadFileBytes(dir.File("b.bmp")), zt::ReadFileBytes(dir.File("a.bmp")));
  }
}

// bmp-record-header: after a read the record's header has biSize 40 and
// biClrUsed 256 (8-bit) or 0 (24-bit), as its block is laid out, whatever
// the file said; the file's values would be saved with the record's layout,
// and a reader would then look for the table and the rows elsewhere.
TEST(BmpWrite, BmpRecordHeaderLongHeaderFileSavesWithTheStandardLayout) {
  struct Case {
    bmptest::BmpParts parts;
    std::uint32_t clrUsed;
    std::uint32_t offBits;
  };
  bmptest::BmpParts eight = bmptest::Plain8(9, 7);
  eight.infoSize = 124;
  eight.clrUsed = 20;
  eight.table = bmptest::PatternTable(20);
  bmptest::BmpParts twentyFour = bmptest::Plain24(9, 7);
  twentyFour.infoSize = 108;
  twentyFour.clrUsed = 2;
  twentyFour.table = bmptest::PatternTable(2);
  for (const Case& c : {Case{eight, 256, 1078}, Case{twentyFour, 0, 54}}) {
    SCOPED_TRACE(c.parts.bits);
    zt::TempDir dir;
    ASSERT_TRUE(zt::WriteFileBytes(dir.File("long.bmp"), bmptest::Encode(c.parts)));
    CImageDataModel image;
    ASSERT_EQ(image.ReadBMPImage(dir.File("long.bmp")), 1);
    EXPECT_EQ(image.GetBmh()->biSize, 40u);
    EXPECT_EQ(image.GetBmh()->biClrUsed, c.clrUsed);
    ASSERT_EQ(image.SaveBMPImage(dir.File("out.bmp")), 1);
    const Bytes file = zt::ReadFileBytes(dir.File("out.bmp"));
    EXPECT_EQ(U32At(file, 14), 40u);
    EXPECT_EQ(U32At(file, 46), c.clrUsed);
    EXPECT_EQ(U32At(file, 10), c.offBits);
    EXPECT_EQ(file.size(), c.offBits + c.parts.pixels.size());
    if (c.parts.bits == 8) {
      EXPECT_EQ(Bytes(file.begin() + 54, file.begin() + 54 + 80), bmptest::PatternTable(20));
    }
    CImageDataModel again;
    ASSERT_EQ(again.ReadBMPImage(dir.File("out.bmp")), 1);
    EXPECT_TRUE(bmptest::ContentOf(again) == bmptest::ContentOf(image));
  }
}

// size-products-64bit: a height whose rows no longer fit the block is
// refused before any file is made, both when the 32-bit product of row
// length and height would wrap back to the true size (16 × 2^28 and
// 64 × 2^26 extra bytes) and when it just passes the block's end.
TEST(BmpWrite, SizeProducts64bitRowsPastTheBlockAreRefused) {
  zt::TempDir dir;
  struct Case {
    int width, bits;
    UINT extraRows;
  };
  for (const Case c :
       {Case{13, 8, 1u << 28}, Case{21, 24, 1u << 26}, Case{13, 8, 2}, Case{21, 24, 2}}) {
    Record image;
    MakePatterned(image, c.width, 6, c.bits);
    image.m_nHeight += c.extraRows;
    EXPECT_EQ(image.SaveBMPImage(dir.File("a.bmp")), 0) << c.bits << " " << c.extraRows;
    EXPECT_TRUE(bmptest::FolderEntries(dir.path()).empty()) << c.bits << " " << c.extraRows;
    image.m_nHeight = 6;
    EXPECT_EQ(image.SaveBMPImage(dir.File("a.bmp")), 1) << c.bits << " " << c.extraRows;
    ASSERT_EQ(::unlink(dir.File("a.bmp").c_str()), 0);
  }
}

TEST(BmpWrite, EmptyRecordSavesNothingAndLeavesAnExistingFileAlone) {
  zt::TempDir dir;
  CImageDataModel image;
  EXPECT_EQ(image.SaveBMPImage(dir.File("new.bmp")), 0);
  EXPECT_TRUE(bmptest::FolderEntries(dir.path()).empty());
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("old.bmp"), {1, 2, 3}));
  zt::MakeImage(image, 3, 3, 8);
  image.FreeImage();
  EXPECT_EQ(image.SaveBMPImage(dir.File("old.bmp")), 0);
  EXPECT_EQ(zt::ReadFileBytes(dir.File("old.bmp")), (Bytes{1, 2, 3}));
}

TEST(BmpWrite, PathsThatCannotBeWrittenGiveZeroAndLeaveNothingBehind) {
  zt::TempDir dir;
  CImageDataModel image;
  MakePatterned(image, 4, 4, 8);
  EXPECT_EQ(image.SaveBMPImage(dir.File("no/such/folder/a.bmp")), 0);
  EXPECT_EQ(image.SaveBMPImage(dir.path()), 0);
  EXPECT_EQ(image.SaveBMPImage(dir.path() + "/"), 0);
  EXPECT_EQ(image.SaveBMPImage(""), 0);
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("plain"), {9}));
  EXPECT_EQ(image.SaveBMPImage(dir.File("plain/a.bmp")), 0);
  EXPECT_EQ(bmptest::FolderEntries(dir.path()), std::vector<std::string>{"plain"});
}

// These tests never aim a save at the system's own device nodes from a
// process that could replace them: a faulty save running as the superuser
// would put a regular file in place of /dev/full.
TEST(BmpWrite, PipeTargetIsWrittenInPlaceNeverRenamedOver) {
  zt::TempDir dir;
  ASSERT_EQ(::mkfifo(dir.File("pipe.bmp").c_str(), 0644), 0);
  CImageDataModel image;
  MakePatterned(image, 10, 3, 8);  // 1114 bytes fit in the pipe's buffer
  EXPECT_EQ(image.SaveBMPImage(dir.File("pipe.bmp")), 1);
  EXPECT_TRUE(S_ISFIFO(ModeOf(dir.File("pipe.bmp"))));
  EXPECT_EQ(bmptest::FolderEntries(dir.path()), std::vector<std::string>{"pipe.bmp"});
}

TEST(BmpWrite, FullDeviceTargetFailsAndStaysADevice) {
  zt::TempDir dir;
  std::string device = dir.File("full");
  // The full device (1, 7) made in the test's own folder; without the right
  // to make one, the system's node is used where this process cannot
  // replace it.
  if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0) {
    if (::access("/dev/full", W_OK) != 0 || ::access("/dev", W_OK) == 0)
      GTEST_SKIP() << "no full device that is safe to use";
    device = "/dev/full";
  }
  ASSERT_EQ(::symlink(device.c_str(), dir.File("link.bmp").c_str()), 0);
  CImageDataModel image;
  MakePatterned(image, 8, 8, 24);
  EXPECT_EQ(image.SaveBMPImage(device), 0);
  EXPECT_TRUE(S_ISCHR(ModeOf(device)));
  EXPECT_EQ(image.SaveBMPImage(dir.File("link.bmp")), 0);
  EXPECT_TRUE(S_ISCHR(ModeOf(device)));
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.File("link.bmp"))));
  EXPECT_EQ(bmptest::FolderEntries(dir.path()).size(), device == dir.File("full") ? 2u : 1u);
}

TEST(BmpWrite, SymbolicLinkTargetReplacesTheFileItPointsToAndStaysALink) {
  zt::TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("maps").c_str(), 0755), 0);
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("maps/real.bmp"), {1, 2, 3}));
  // A relative link in one folder to a file in another, reached through a
  // second link.
  ASSERT_EQ(::symlink("maps/real.bmp", dir.File("link1.bmp").c_str()), 0);
  ASSERT_EQ(::symlink(dir.File("link1.bmp").c_str(), dir.File("link2.bmp").c_str()), 0);
  CImageDataModel image;
  MakePatterned(image, 10, 3, 8);
  ASSERT_EQ(image.SaveBMPImage(dir.File("link2.bmp")), 1);
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.File("link1.bmp"))));
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.File("link2.bmp"))));
  EXPECT_EQ(zt::ReadFileBytes(dir.File("maps/real.bmp")).size(), 1114u);
  EXPECT_EQ(bmptest::FolderEntries(dir.File("maps")), std::vector<std::string>{"real.bmp"});

  // A dangling link: the file it names is created.
  ASSERT_EQ(::symlink("maps/new.bmp", dir.File("dangling.bmp").c_str()), 0);
  ASSERT_EQ(image.SaveBMPImage(dir.File("dangling.bmp")), 1);
  EXPECT_TRUE(S_ISLNK(ModeOf(dir.File("dangling.bmp"))));
  EXPECT_EQ(zt::ReadFileBytes(dir.File("maps/new.bmp")).size(), 1114u);

  // A loop of links is refused.
  ASSERT_EQ(::symlink("loopb", dir.File("loopa").c_str()), 0);
  ASSERT_EQ(::symlink("loopa", dir.File("loopb").c_str()), 0);
  EXPECT_EQ(image.SaveBMPImage(dir.File("loopa")), 0);
}

TEST(BmpWrite, ExistingTargetKeepsItsPermissionBitsAndNewFilesGetTheUsualOnes) {
  zt::TempDir dir;
  CImageDataModel image;
  MakePatterned(image, 5, 5, 8);
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("a.bmp"), {1}));
  for (mode_t mode : {0640, 0604, 0755, 0600}) {
    ASSERT_EQ(::chmod(dir.File("a.bmp").c_str(), mode), 0);
    ASSERT_EQ(image.SaveBMPImage(dir.File("a.bmp")), 1);
    EXPECT_EQ(ModeOf(dir.File("a.bmp")) & 07777, mode);
  }
  // A new file gets what any newly created file gets under the umask.
  const int fd = ::open(dir.File("reference").c_str(), O_CREAT | O_WRONLY, 0666);
  ASSERT_GE(fd, 0);
  ::close(fd);
  ASSERT_EQ(image.SaveBMPImage(dir.File("b.bmp")), 1);
  EXPECT_EQ(ModeOf(dir.File("b.bmp")) & 07777, ModeOf(dir.File("reference")) & 07777);
}

TEST(BmpWrite, SaveOverAnExistingFileLeavesOnlyTheNewContent) {
  zt::TempDir dir;
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("a.bmp"), Bytes(100000, 0x77)));
  CImageDataModel image;
  MakePatterned(image, 10, 3, 24);
  ASSERT_EQ(image.SaveBMPImage(dir.File("a.bmp")), 1);
  EXPECT_EQ(zt::ReadFileBytes(dir.File("a.bmp")).size(), 150u);
  EXPECT_EQ(bmptest::FolderEntries(dir.path()), std::vector<std::string>{"a.bmp"});
}

// Limits the size of files this process may write while it exists; writing
// past it fails as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    m_ok = ::getrlimit(RLIMIT_FSIZE, &m_old) == 0;
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = m_old;
    limited.rlim_cur = bytes;
    m_ok = m_ok && ::setrlimit(RLIMIT_FSIZE, &limited) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_oldHandler);
  }
  bool ok() const { return m_ok; }

 private:
  rlimit m_old{};
  void (*m_oldHandler)(int) = nullptr;
  bool m_ok = false;
};

// bmp-save-replace: the save goes to a temporary file renamed over the
// target, so a save that fails part way leaves the old file as it was.
TEST(BmpWrite, BmpSaveReplaceFailurePartWayLeavesTheOldFileUntouchedAndNoTemporary) {
  zt::TempDir dir;
  const Bytes old(3000, 0x42);
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("map.bmp"), old));
  CImageDataModel image;
  MakePatterned(image, 100, 100, 24);
  int result = -1;
  {
    FileSizeLimit limit(4096);
    ASSERT_TRUE(limit.ok());
    result = image.SaveBMPImage(dir.File("map.bmp"));
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(zt::ReadFileBytes(dir.File("map.bmp")), old);
  EXPECT_EQ(bmptest::FolderEntries(dir.path()), std::vector<std::string>{"map.bmp"});
  // The same failure with no file before leaves no file.
  {
    FileSizeLimit limit(4096);
    result = image.SaveBMPImage(dir.File("new.bmp"));
  }
  EXPECT_EQ(result, 0);
  EXPECT_EQ(bmptest::FolderEntries(dir.path()), std::vector<std::string>{"map.bmp"});
}

/// Runs save in a child process that holds no privileges (the superuser
/// would pass every permission check) and returns its result, or -1.
int SaveUnprivileged(CImageDataModel& image, const std::string& path) {
  if (::geteuid() != 0) return image.SaveBMPImage(path);
  const pid_t child = ::fork();
  if (child == 0) {
    const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
    ::_exit(dropped ? image.SaveBMPImage(path) : 100);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(BmpWrite, ReadOnlyFileOrFolderIsNotReplaced) {
  zt::TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(dir.File("rw").c_str(), 0777), 0);
  ASSERT_EQ(::chmod(dir.File("rw").c_str(), 0777), 0);
  CImageDataModel image;
  MakePatterned(image, 4, 4, 8);
  // The control: a writable file in a writable folder is replaced.
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("rw/open.bmp"), {1, 2}));
  ASSERT_EQ(::chmod(dir.File("rw/open.bmp").c_str(), 0666), 0);
  ASSERT_EQ(SaveUnprivileged(image, dir.File("rw/open.bmp")), 1);
  EXPECT_EQ(zt::ReadFileBytes(dir.File("rw/open.bmp")).size(), 1078u + 16);
  // A read-only file stays as it is, although its folder would allow the
  // rename.
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("rw/locked.bmp"), {1, 2}));
  ASSERT_EQ(::chmod(dir.File("rw/locked.bmp").c_str(), 0444), 0);
  EXPECT_EQ(SaveUnprivileged(image, dir.File("rw/locked.bmp")), 0);
  EXPECT_EQ(zt::ReadFileBytes(dir.File("rw/locked.bmp")), (Bytes{1, 2}));
  // A read-only folder takes no new file.
  ASSERT_EQ(::mkdir(dir.File("ro").c_str(), 0555), 0);
  ASSERT_EQ(::chmod(dir.File("ro").c_str(), 0555), 0);
  EXPECT_EQ(SaveUnprivileged(image, dir.File("ro/a.bmp")), 0);
  EXPECT_TRUE(bmptest::FolderEntries(dir.File("ro")).empty());
  EXPECT_EQ(bmptest::FolderEntries(dir.File("rw")),
            (std::vector<std::string>{"locked.bmp", "open.bmp"}));
}

}  // namespace
