// The file-class operations the saver relies on: exclusive creation, what a
// path names, link texts and permission bits.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

#include "platform/File.h"
#include "support/TestSupport.h"

namespace {

TEST(FilePath, CreateNewNeverOpensAnExistingNameNorFollowsALink) {
  zt::TempDir dir;
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("taken"), {1, 2, 3}));
  ASSERT_EQ(::symlink("nowhere", dir.File("link").c_str()), 0);
  const UINT flags = CFile::modeCreateNew | CFile::modeReadWrite;
  for (const char* name : {"taken", "link"}) {
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(dir.File(name).c_str(), flags, &error)) << name;
    EXPECT_EQ(error.m_lOsError, EEXIST) << name;
  }
  EXPECT_EQ(zt::ReadFileBytes(dir.File("taken")), (std::vector<std::uint8_t>{1, 2, 3}));
  EXPECT_FALSE(std::ifstream(dir.File("nowhere")).good()) << "the link was not followed";
  CFile file;
  ASSERT_TRUE(file.Open(dir.File("fresh").c_str(), flags));
  file.Write("ab", 2);
  file.Close();
  EXPECT_EQ(zt::ReadFileBytes(dir.File("fresh")).size(), 2u);
}

TEST(FilePath, PathStatusTellsFilesLinksOthersAndMissingApart) {
  zt::TempDir dir;
  ASSERT_TRUE(zt::WriteFileBytes(dir.File("file"), {1}));
  ASSERT_EQ(::chmod(dir.File("file").c_str(), 0640), 0);
  ASSERT_EQ(::symlink("file", dir.File("link").c_str()), 0);
  ASSERT_EQ(::mkfifo(dir.File("pipe").c_str(), 0600), 0);
  CPathStatus status = CFile::GetPathStatus(dir.File("file").c_str());
  EXPECT_EQ(status.m_kind, CPathStatus::regularFile);
  EXPECT_EQ(status.m_permissions, 0640u);
  EXPECT_EQ(CFile::GetPathStatus(dir.File("link").c_str()).m_kind, CPathStatus::symbolicLink);
  EXPECT_EQ(CFile::GetPathStatus(dir.File("pipe").c_str()).m_kind, CPathStatus::other);
  EXPECT_EQ(CFile::GetPathStatus(dir.path().c_str()).m_kind, CPathStatus::other);
  EXPECT_EQ(CFile::GetPathStatus(dir.File("missing").c_str()).m_kind, CPathStatus::missing);
  EXPECT_EQ(CFile::ReadLink(dir.File("link").c_str()), "file");
  // A path through a plain file is an error, not a missing name.
  try {
    CFile::GetPathStatus(dir.File("file/x").c_str());
    ADD_FAILURE() << "no exception";
  } catch (CFileException* error) {
    EXPECT_EQ(error->m_lOsError, ENOTDIR);
    error->Delete();
  }
  CFile::SetPermissions(dir.File("file").c_str(), 0604);
  EXPECT_EQ(CFile::GetPathStatus(dir.File("file").c_str()).m_permissions, 0604u);
}

}  // namespace
