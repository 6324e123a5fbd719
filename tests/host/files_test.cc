#include "host/files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <utility>

namespace kelvora::host {
namespace {

std::string NewDir(const std::string& name) {
  const std::string dir = ::testing::TempDir() + "/" + name + std::to_string(getpid());
  std::filesystem::create_directories(dir);
  return dir;
}

TEST(FilesTest, WritesAtomicallyAndTellsAChangedFile) {
  const std::string dir = NewDir("files_test_");
  const std::string path = dir + "/book.xlsx";
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
  if (geteuid() == 0) {  // root can, and does, keep another user's file theirs
    ASSERT_EQ(chown(path.c_str(), 1234, 2345), 0);
    WriteFileAtomically(path, "other");
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(std::pair(st.st_uid, st.st_gid), std::pair(uid_t{1234}, gid_t{2345}));
  }
  // Writing through a link replaces the linked file, not the link.
  const std::string link = dir + "/link.xlsx";
  ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
  WriteFileAtomically(link, "third");
  EXPECT_EQ(ReadFile(path, 100), "third");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(IdentityOf(link), IdentityOf(path));
  // A new file only where there is none.
  EXPECT_FALSE(CreateFileAtomically(path, "fourth"));
  EXPECT_TRUE(CreateFileAtomically(dir + "/new.xlsx", "fourth"));
  EXPECT_EQ(ReadFile(dir + "/new.xlsx", 100), "fourth");
  for (const auto& unreadable : {path, dir + "/missing.xlsx", dir})  // too large, missing, a folder
    EXPECT_THROW(ReadFile(unreadable, 4), FileError) << unreadable;
  // A folder that does not exist: the write fails and leaves nothing.
  EXPECT_THROW(WriteFileAtomically(dir + "/missing/book.xlsx", "x"), FileError);
  // No temporary file left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 3);
  std::filesystem::remove_all(dir);
}

// Whether this process waits for a lock on `inode` (/proc/locks lists a
// waiting request with "->").
bool WaitsForLock(int64_t inode) {
  std::ifstream locks("/proc/locks");
  const std::string pid = " " + std::to_string(getpid()) + " ", file = ":" + std::to_string(inode);
  for (std::string line; std::getline(locks, line);)
    if (line.find("->") != line.npos && line.find(pid) != line.npos &&
        line.find(file + " ") != line.npos)
      return true;
  return false;
}

TEST(FilesTest, LockWaitsForItsHolderAndFollowsTheFileItSaved) {
  if (!std::ifstream("/proc/locks")) GTEST_SKIP() << "no /proc/locks";
  const std::string dir = NewDir("files_lock_");
  const std::string path = dir + "/book.xlsx";
  WriteFileAtomically(path, "old");
  auto holder = std::make_unique<FileLock>(path);
  std::string seen;
  FileIdentity identity;
  bool told_to_wait = false;
  std::thread waiter([&] {
    const FileLock lock(path, [&] { told_to_wait = true; });
    seen = lock.Read(100);
    identity = lock.identity();
  });
  while (!WaitsForLock(holder->identity().inode)) usleep(1000);
  // The holder saves a new file over the one the waiter waits on, then ends.
  WriteFileAtomically(path, "new");
  holder.reset();
  waiter.join();
  EXPECT_TRUE(told_to_wait);
  EXPECT_EQ(seen, "new");
  EXPECT_EQ(identity, IdentityOf(path));
  std::filesystem::remove_all(dir);
}

// The signal a save is interrupted by. Writing past RLIMIT_FSIZE raises
// SIGXFSZ inside the save's write(); its handler sends that signal, so the
// process is inside WriteFileAtomically when it arrives.
volatile int interrupting_signal = 0;
extern "C" void Interrupt(int) { raise(interrupting_signal); }

void SaveInterruptedBy(int sig, const std::string& path) {
  RemoveTemporaryFileOnInterrupt();
  interrupting_signal = sig;
  signal(SIGXFSZ, Interrupt);
  const rlimit limit{4096, 4096};
  setrlimit(RLIMIT_FSIZE, &limit);
  WriteFileAtomically(path, std::string(1 << 20, 'x'));
}

TEST(FilesDeathTest, AnInterruptedSaveLeavesNoTemporaryFile) {
  const std::string dir = NewDir("files_signal_");
  const std::string path = dir + "/book.xlsx";
  WriteFileAtomically(path, "kept");
  for (const int sig : {SIGINT, SIGTERM}) {
    EXPECT_EXIT(SaveInterruptedBy(sig, path), ::testing::KilledBySignal(sig), "");
    EXPECT_EQ(ReadFile(path, 100), "kept");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1) << sig;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kelvora::host
