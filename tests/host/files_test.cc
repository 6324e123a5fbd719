#include "host/files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>
#include <utility>

#include "support/system_faults.h"

namespace kelvora::host {
namespace {

// A fresh folder for one test, removed with all it holds at the end.
struct Folder {
  explicit Folder(const std::string& name)
      : dir(::testing::TempDir() + "/" + name + std::to_string(getpid())),
        path(dir + "/book.xlsx") {
    std::filesystem::create_directories(dir);
  }
  ~Folder() { std::filesystem::remove_all(dir); }
  ptrdiff_t Files() const { return std::distance(std::filesystem::directory_iterator(dir), {}); }
  const std::string dir, path;
};

TEST(FilesTest, WritesAtomicallyAndTellsAChangedFile) {
  const Folder f("files_test_");
  EXPECT_FALSE(IdentityOf(f.path).has_value());
  WriteFileAtomically(f.path, "first");
  chmod(f.path.c_str(), 0640);
  const auto first = IdentityOf(f.path);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->size, 5);
  WriteFileAtomically(f.path, "other");
  EXPECT_EQ(ReadFile(f.path, 100), "other");
  EXPECT_NE(IdentityOf(f.path), first);  // same size, a new file
  EXPECT_EQ(std::filesystem::status(f.path).permissions(), std::filesystem::perms{0640});
  // Writing through a link replaces the linked file, not the link.
  const std::string link = f.dir + "/link.xlsx";
  ASSERT_EQ(symlink(f.path.c_str(), link.c_str()), 0);
  WriteFileAtomically(link, "third");
  EXPECT_EQ(ReadFile(f.path, 100), "third");
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(IdentityOf(link), IdentityOf(f.path));
  // A new file only where there is none.
  EXPECT_FALSE(CreateFileAtomically(f.path, "fourth"));
  EXPECT_TRUE(CreateFileAtomically(f.dir + "/new.xlsx", "fourth"));
  EXPECT_EQ(ReadFile(f.dir + "/new.xlsx", 100), "fourth");
  for (const auto& unreadable :
       {f.path, f.dir + "/missing.xlsx", f.dir})  // too large, missing, a folder
    EXPECT_THROW(ReadFile(unreadable, 4), FileError) << unreadable;
  // A folder that does not exist: the write fails and leaves nothing.
  EXPECT_THROW(WriteFileAtomically(f.dir + "/missing/book.xlsx", "x"), FileError);
  EXPECT_EQ(f.Files(), 3);  // no temporary file left behind
}

// Each system call of a save that can fail, made to fail: the save says so,
// names the step, keeps the old file and leaves no temporary file. A call
// that is interrupted is made again; an owner the process may not give is
// left, and the file's group still kept. Either of owner and group that
// differs from the process's is kept.
TEST(FilesTest, EveryFailingCallOfASaveIsReported) {
  if (geteuid() != 0) GTEST_SKIP() << "gives files to other users";
  const Folder f("files_faults_");
  const struct {
    const char* call;
    int error, times;
    const char* message;                   // empty: the save succeeds
    std::pair<uid_t, gid_t> owner, saved;  // the file's owner and group before, after a save
  } cases[] = {
      {"mkstemps", EACCES, 1, "cannot write in ", {1234, 2345}, {}},
      {"fchown", EIO, 1, "cannot set the owner of ", {1234, 2345}, {}},
      {"fchmod", EPERM, 1, "cannot set the mode of ", {1234, 2345}, {}},
      {"write", ENOSPC, 1, "cannot write ", {1234, 2345}, {}},
      {"fsync", EIO, 1, "cannot flush ", {1234, 2345}, {}},
      {"close", EIO, 1, "cannot write ", {1234, 2345}, {}},
      {"rename", EXDEV, 1, "cannot replace ", {1234, 2345}, {}},
      {"write", EINTR, 1, "", {1234, 2345}, {1234, 2345}},
      {"fchown", EPERM, 1, "", {1234, 2345}, {0, 2345}},
      {"fchown", EPERM, 2, "", {1234, 2345}, {0, 0}},
      {"fstat", 0, 0, "", {1234, 0}, {1234, 0}},  // no fault: the owner alone differs
      {"fstat", 0, 0, "", {0, 2345}, {0, 2345}},  // the group alone
  };
  for (const auto& c : cases) {
    WriteFileAtomically(f.path, "kept");
    ASSERT_EQ(chown(f.path.c_str(), c.owner.first, c.owner.second), 0);
    std::string error;
    {
      testing::SystemFault fault(c.call, c.error, 0, c.times);
      try {
        WriteFileAtomically(f.path, "new");
      } catch (const FileError& e) {
        error = e.what();
      }
      EXPECT_EQ(fault.struck(), c.times > 0) << c.call;
    }
    struct stat st;
    ASSERT_EQ(stat(f.path.c_str(), &st), 0);
    if (*c.message == 0) {
      EXPECT_EQ(error, "") << c.call;
      EXPECT_EQ(ReadFile(f.path, 100), "new") << c.call;
      EXPECT_EQ(std::pair(st.st_uid, st.st_gid), c.saved) << c.call << " " << c.times;
    } else {
      EXPECT_NE(error.find(c.message), std::string::npos) << c.call << ": " << error;
      EXPECT_NE(error.find(std::strerror(c.error)), std::string::npos) << error;
      EXPECT_EQ(ReadFile(f.path, 100), "kept") << c.call;
    }
    EXPECT_EQ(f.Files(), 1) << c.call;  // book.xlsx, which stat found
  }
}

// The same for a new file, and for reading and locking one.
TEST(FilesTest, EveryFailingCallOfACreateOrReadIsReported) {
  const Folder f("files_faults_read_");
  const std::string fresh = f.dir + "/new.xlsx";
  WriteFileAtomically(f.path, "kept");
  // (call, error, run, what `run` returns or the start of the error)
  const std::tuple<const char*, int, std::function<std::string()>, const char*> cases[] = {
      {"renameat2", EIO, [&] { return std::to_string(CreateFileAtomically(fresh, "x")); },
       "cannot replace "},
      {"renameat2", EEXIST, [&] { return std::to_string(CreateFileAtomically(fresh, "x")); }, "0"},
      // A file system without RENAME_NOREPLACE: renamed the plain way.
      {"renameat2", EINVAL, [&] { return std::to_string(CreateFileAtomically(fresh, "x")); }, "1"},
      {"read", EIO, [&] { return ReadFile(f.path, 100); }, "cannot read "},
      {"read", EINTR, [&] { return ReadFile(f.path, 100); }, "kept"},
      {"read", EIO, [&] { return ReadFileStart(f.path, 2); }, "cannot read "},
      {"read", EINTR, [&] { return ReadFileStart(f.path, 2); }, "ke"},
      {"flock", ENOLCK, [&] { return FileLock(f.path).Read(100); }, "cannot lock "},
      {"lseek", EIO, [&] { return FileLock(f.path).Read(100); }, "cannot read "},
  };
  for (const auto& [call, error, run, expected] : cases) {
    std::filesystem::remove(fresh);
    std::string outcome;
    {
      testing::SystemFault fault(call, error);
      try {
        outcome = run();
      } catch (const FileError& e) {
        outcome = e.what();
      }
      EXPECT_TRUE(fault.struck()) << call;
    }
    EXPECT_EQ(outcome.rfind(expected, 0), 0u) << call << " " << error << ": " << outcome;
    EXPECT_EQ(ReadFile(f.path, 100), "kept");
    EXPECT_EQ(Exists(fresh), outcome == "1") << call << " " << error;
    EXPECT_EQ(f.Files(), outcome == "1" ? 2 : 1) << call << " " << error;
  }
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
  const Folder f("files_lock_");
  WriteFileAtomically(f.path, "old");
  auto holder = std::make_unique<FileLock>(f.path);
  std::string seen;
  FileIdentity identity;
  bool told_to_wait = false;
  std::thread waiter([&] {
    const FileLock lock(f.path, [&] { told_to_wait = true; });
    seen = lock.Read(100);
    identity = lock.identity();
  });
  while (!WaitsForLock(holder->identity().inode)) usleep(1000);
  // The holder saves a new file over the one the waiter waits on, then ends.
  WriteFileAtomically(f.path, "new");
  holder.reset();
  waiter.join();
  EXPECT_TRUE(told_to_wait);
  EXPECT_EQ(seen, "new");
  EXPECT_EQ(identity, IdentityOf(f.path));
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
  const Folder f("files_signal_");
  WriteFileAtomically(f.path, "kept");
  for (const int sig : {SIGINT, SIGTERM}) {
    EXPECT_EXIT(SaveInterruptedBy(sig, f.path), ::testing::KilledBySignal(sig), "");
    EXPECT_EQ(ReadFile(f.path, 100), "kept");
    EXPECT_EQ(f.Files(), 1) << sig;
  }
}

}  // namespace
}  // namespace kelvora::host
