// The platform layer: strings, files, memory blocks, palettes and message
// boxes, against the contracts the library's logic relies on.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/File.h"
#include "platform/Memory.h"
#include "support/TestSupport.h"

namespace {

TEST(PlatformString, RightAndMakeUpper) {
  CString name("map.bmp");
  EXPECT_EQ(name.Right(4), ".bmp");
  EXPECT_EQ(name.Right(40), "map.bmp");
  EXPECT_EQ(name.Right(0), "");
  CString upper = name.Right(4);
  upper.MakeUpper();
  EXPECT_EQ(upper, ".BMP");
  EXPECT_EQ(name, "map.bmp");  // Right returns a copy
  EXPECT_EQ(CString(nullptr).GetLength(), 0);
}

TEST(PlatformFile, ReadSeekAndLengthFollowTheContract) {
  zt::TempDir dir;
  const std::string path = dir.File("data.bin");
  ASSERT_TRUE(zt::WriteFileBytes(path, {1, 2, 3, 4, 5}));

  CFile file;
  CFileException error;
  ASSERT_TRUE(file.Open(path.c_str(), CFile::modeRead | CFile::shareDenyWrite, &error));
  EXPECT_EQ(file.GetLength(), 5u);
  BYTE buffer[8] = {};
  EXPECT_EQ(file.Read(buffer, 3), 3u);
  EXPECT_EQ(buffer[2], 3);
  EXPECT_EQ(file.Seek(-2, CFile::current), 1u);
  EXPECT_EQ(file.Read(buffer, 8), 4u);  // fewer at the end of the file
  EXPECT_EQ(buffer[0], 2);
  EXPECT_EQ(file.Read(buffer, 8), 0u);
  EXPECT_EQ(file.Seek(0, CFile::begin), 0u);
  file.Close();
  file.Abort();  // harmless after Close
}

TEST(PlatformFile, FailuresAreReportedAsTheContractSays) {
  zt::TempDir dir;
  CFile file;
  CFileException error;
  EXPECT_FALSE(file.Open(dir.File("missing").c_str(), CFile::modeRead, &error));
  EXPECT_EQ(error.m_cause, CFileException::fileNotFound);
  EXPECT_FALSE(file.Open(dir.path().c_str(), CFile::modeRead, &error));
  EXPECT_EQ(error.m_cause, CFileException::accessDenied);
  EXPECT_FALSE(file.Open(nullptr, CFile::modeRead, nullptr));

  // Reading a file opened for writing only fails with a thrown exception,
  // caught by pointer and deleted by the catcher.
  const std::string path = dir.File("out.bin");
  ASSERT_TRUE(file.Open(path.c_str(), CFile::modeCreate | CFile::modeWrite, &error));
  BYTE byte = 0;
  bool thrown = false;
  try {
    file.Read(&byte, 1);
  } catch (CFileException* e) {
    thrown = true;
    EXPECT_EQ(e->m_strFileName, path.c_str());
    e->Delete();
  }
  EXPECT_TRUE(thrown);
  file.Abort();

  // Writing onto a full device throws as well.
  if (file.Open("/dev/full", CFile::modeWrite, &error)) {
    thrown = false;
    try {
      BYTE data[4096] = {};
      file.Write(data, sizeof data);
    } catch (CFileException* e) {
      thrown = true;
      EXPECT_EQ(e->m_cause, CFileException::diskFull);
      e->Delete();
    }
    EXPECT_TRUE(thrown);
    file.Abort();
  }
}

TEST(PlatformFile, CreateTruncatesAndWritesEverything) {
  zt::TempDir dir;
  const std::string path = dir.File("out.bin");
  ASSERT_TRUE(zt::WriteFileBytes(path, std::vector<std::uint8_t>(100, 7)));
  CFile file;
  ASSERT_TRUE(
      file.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite | CFile::shareDenyWrite));
  const BYTE data[3] = {9, 8, 7};
  file.Write(data, 3);
  file.Flush();
  file.Close();
  EXPECT_EQ(zt::ReadFileBytes(path), (std::vector<std::uint8_t>{9, 8, 7}));
  CFile::Rename(path.c_str(), dir.File("moved.bin").c_str());
  EXPECT_EQ(zt::ReadFileBytes(dir.File("moved.bin")).size(), 3u);
  CFile::Remove(dir.File("moved.bin").c_str());
  bool thrown = false;
  try {
    CFile::Remove(dir.File("moved.bin").c_str());
  } catch (CFileException* e) {
    thrown = true;
    e->Delete();
  }
  EXPECT_TRUE(thrown);
}

TEST(PlatformMemory, BlocksAreZeroedFixedAndSized) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 1000);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalSize(block), 1000u);
  BYTE* first = static_cast<BYTE*>(GlobalLock(block));
  ASSERT_NE(first, nullptr);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(first[i], 0);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(first) % 16, 0u);
  EXPECT_EQ(GlobalLock(block), first);  // the address stays fixed
  EXPECT_EQ(GlobalUnlock(block), TRUE);
  EXPECT_EQ(GlobalUnlock(block), FALSE);
  EXPECT_EQ(GlobalFree(block), nullptr);

  EXPECT_EQ(GlobalAlloc(GMEM_ZEROINIT, 0), nullptr);
  EXPECT_EQ(GlobalAlloc(GMEM_ZEROINIT, static_cast<std::size_t>(-1)), nullptr);
  EXPECT_EQ(GlobalLock(nullptr), nullptr);

  HLOCAL local = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, 12);
  ASSERT_NE(local, nullptr);
  EXPECT_NE(LocalLock(local), nullptr);
  LocalUnlock(local);
  EXPECT_EQ(LocalFree(local), nullptr);

  ScratchBuffer zeroed = AllocateZeroedScratch(64);
  ASSERT_TRUE(zeroed);
  for (int i = 0; i < 64; ++i) ASSERT_EQ(zeroed[i], 0);
}

TEST(PlatformPalette, CreatePaletteCopiesItsEntries) {
  EXPECT_EQ(CreatePalette(nullptr), nullptr);
  struct {
    LOGPALETTE head;
    PALETTEENTRY more[2];
  } logical{};
  logical.head.palVersion = 0x300;
  logical.head.palNumEntries = 3;
  PALETTEENTRY* entries = logical.head.palPalEntry;
  entries[0] = PALETTEENTRY{1, 2, 3, 0};
  entries[2] = PALETTEENTRY{7, 8, 9, 0};

  CPalette palette;
  EXPECT_EQ(palette.Attach(nullptr), FALSE);
  EXPECT_EQ(palette.GetEntryCount(), 0);
  EXPECT_EQ(palette.Attach(CreatePalette(&logical.head)), TRUE);
  EXPECT_EQ(palette.GetEntryCount(), 3);
  PALETTEENTRY out[4] = {};
  EXPECT_EQ(palette.GetPaletteEntries(2, 4, out), 1u);
  EXPECT_EQ(out[0].peBlue, 9);
  EXPECT_EQ(palette.GetPaletteEntries(3, 1, out), 0u);
  EXPECT_EQ(palette.DeleteObject(), TRUE);
  EXPECT_EQ(palette.DeleteObject(), FALSE);
  logical.head.palNumEntries = 0;
  EXPECT_EQ(CreatePalette(&logical.head), nullptr);
}

void CountingHandler(const char*, UINT) {}

TEST(PlatformMessages, HandlerIsReplaceableAndRestorable) {
  MessageBoxHandler original = SetMessageBoxHandler(&CountingHandler);
  EXPECT_NE(original, nullptr);
  EXPECT_EQ(SetMessageBoxHandler(nullptr), &CountingHandler);
  EXPECT_EQ(SetMessageBoxHandler(original), original);  // null restored the default
}

}  // namespace
