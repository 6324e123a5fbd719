#include "host/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

namespace kelvora::host {
namespace {

TEST(FilesTest, WritesAtomicallyAndTellsAChangedFile) {
  const std::string dir = ::testing::TempDir() + "/files_test_" + std::to_string(getpid());
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/book.xlsx";
  EXPECT_FALSE(Exists(path));
  EXPECT_FALSE(IdentityOf(path).has_value());
  WriteFileAtomically(path, "first");
  chmod(path.c_str(), 0640);
  const auto first = IdentityOf(path);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->size, 5);
  WriteFileAtomically(path, "other");
  EXPECT_EQ(ReadFile(path, 100), "other");
  EXPECT_NE(IdentityOf(path), first);  // same size, a new file
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // Writing through a link replaces the linked file, not the link.
  const std::string link = dir + "/link.xlsx";
  ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
  WriteFileAtomically(link, "third");
  EXPECT_EQ(ReadFile(path, 100), "third");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(IdentityOf(link), IdentityOf(path));
  EXPECT_THROW(ReadFile(path, 4), FileError);
  EXPECT_THROW(ReadFile(dir + "/missing.xlsx", 100), FileError);
  // A folder that does not exist: the write fails and leaves nothing.
  EXPECT_THROW(WriteFileAtomically(dir + "/missing/book.xlsx", "x"), FileError);
  // No temporary file left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 2);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kelvora::host
