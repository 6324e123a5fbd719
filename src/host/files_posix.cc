#include "host/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>

namespace kelvora::host {
namespace {

std::string ErrnoText() { return std::strerror(errno); }

// The temporary file WriteFileAtomically is writing, for the signal handler:
// the name is set before the file is made and cleared once it is renamed or
// removed, so the handler at worst removes a name that no longer exists.
char pending_temp[PATH_MAX];
volatile sig_atomic_t pending_temp_set = 0;

extern "C" void RemoveTempAndReraise(int sig) {
  if (pending_temp_set != 0) ::unlink(pending_temp);
  // The handler was installed with SA_RESETHAND: the default action ends the
  // process now.
  ::raise(sig);
}

// The file a path names: a symbolic link is followed.
std::string Target(const std::string& path) {
  char resolved[PATH_MAX];
  struct stat lst;
  if (lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode) &&
      realpath(path.c_str(), resolved) != nullptr) {
    return resolved;
  }
  return path;
}

struct Place {
  std::string dir;   // "" for the current folder, else ending in '/'
  std::string base;  // the file's name
};

Place PlaceOf(const std::string& target) {
  const size_t slash = target.rfind('/');
  if (slash == std::string::npos) return {"", target};
  return {target.substr(0, slash + 1), target.substr(slash + 1)};
}

// ".NAME.kelvora-": what every temporary file of NAME begins with. A long
// NAME is cut so that the whole name stays within the system's limit.
std::string TempPrefix(const std::string& base) { return "." + base.substr(0, 200) + ".kelvora-"; }

// The process that wrote a temporary file of `prefix`'s naming; 0 when
// `name` is not of that naming.
pid_t TempOwner(const std::string& name, const std::string& prefix) {
  constexpr std::string_view kSuffix = ".tmp";
  if (name.size() < prefix.size() + 1 + 1 + 6 + kSuffix.size() || name.rfind(prefix, 0) != 0 ||
      name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0)
    return 0;
  const std::string middle =
      name.substr(prefix.size(), name.size() - prefix.size() - kSuffix.size());  // PID-XXXXXX
  const size_t dash = middle.size() - 7;
  if (middle[dash] != '-' || dash > 9) return 0;
  pid_t pid = 0;
  for (size_t i = 0; i < dash; ++i) {
    if (middle[i] < '0' || middle[i] > '9') return 0;
    pid = pid * 10 + (middle[i] - '0');
  }
  return pid;
}

// Removes the temporary files of `target`'s naming whose process is gone.
// A process of another user answers EPERM and counts as running.
void RemoveStaleTemporaryFiles(const std::string& target) {
  const Place place = PlaceOf(target);
  const std::string prefix = TempPrefix(place.base);
  DIR* dir = ::opendir(place.dir.empty() ? "." : place.dir.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    const pid_t owner = TempOwner(name, prefix);
    struct stat st;
    if (owner > 0 && ::kill(owner, 0) != 0 && errno == ESRCH &&
        ::fstatat(::dirfd(dir), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode)) {
      ::unlinkat(::dirfd(dir), name.c_str(), 0);
    }
  }
  ::closedir(dir);
}

// Reads `fd` to its end; `name` names it in messages.
std::string ReadToEnd(int fd, const std::string& name, uint64_t max_size) {
  std::string bytes;
  struct stat st;
  if (::fstat(fd, &st) == 0) {
    if (S_ISDIR(st.st_mode)) throw FileError(name + " is a folder, not a file");
    if (S_ISREG(st.st_mode)) {
      if (static_cast<uint64_t>(st.st_size) > max_size) throw FileError(name + " is too large");
      bytes.reserve(static_cast<size_t>(st.st_size));
    }
  }
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n == 0) return bytes;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileError("cannot read " + name + ": " + ErrnoText());
    }
    if (bytes.size() + static_cast<uint64_t>(n) > max_size) throw FileError(name + " is too large");
    bytes.append(buf, static_cast<size_t>(n));
  }
}

FileIdentity IdentityOfStat(const struct stat& st) {
  FileIdentity id;
  id.size = static_cast<int64_t>(st.st_size);
  id.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  id.inode = static_cast<int64_t>(st.st_ino);
  return id;
}

}  // namespace

std::string ReadFile(const std::string& path, uint64_t max_size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FileError("cannot open " + path + ": " + ErrnoText());
  try {
    std::string bytes = ReadToEnd(fd, path, max_size);
    ::close(fd);
    return bytes;
  } catch (...) {
    ::close(fd);
    throw;
  }
}

std::string ReadFileStart(const std::string& path, size_t n) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw FileError("cannot open " + path + ": " + ErrnoText());
  std::string bytes(n, '\0');
  size_t done = 0;
  while (done < n) {
    const ssize_t got = ::read(fd, bytes.data() + done, n - done);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      const std::string msg = "cannot read " + path + ": " + ErrnoText();
      ::close(fd);
      throw FileError(msg);
    }
    done += static_cast<size_t>(got);
  }
  ::close(fd);
  bytes.resize(done);
  return bytes;
}

std::string ReadStandardInput(uint64_t max_size) {
  return ReadToEnd(STDIN_FILENO, "standard input", max_size);
}

namespace {

// WriteFileAtomically, or with `replace` false CreateFileAtomically.
bool WriteThroughTemporaryFile(const std::string& path, const std::string& bytes, bool replace) {
  const std::string target = Target(path);
  struct stat st;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && !replace) return false;
  if (exists && S_ISDIR(st.st_mode)) throw FileError(target + " is a folder, not a file");
  // Root passes access(W_OK) whatever the mode says.
  if (exists && ((st.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)) {
    throw FileError(target + " is read-only (it has no write permission); give it one first");
  }
  const Place place = PlaceOf(target);
  std::string tmp = place.dir + TempPrefix(place.base) + std::to_string(::getpid()) + "-XXXXXX.tmp";
  if (tmp.size() >= sizeof pending_temp) throw FileError("the path " + target + " is too long");
  std::memcpy(pending_temp, tmp.c_str(), tmp.size() + 1);
  pending_temp_set = 1;
  const int fd = ::mkstemps(pending_temp, 4);
  if (fd < 0) {
    pending_temp_set = 0;
    throw FileError("cannot write in " + (place.dir.empty() ? std::string(".") : place.dir) + ": " +
                    ErrnoText());
  }
  tmp = pending_temp;
  auto remove_tmp = [&] {
    ::unlink(tmp.c_str());
    pending_temp_set = 0;
  };
  auto fail = [&](const std::string& what) {
    const std::string msg = what + ": " + ErrnoText();
    ::close(fd);
    remove_tmp();
    throw FileError(msg);
  };
  mode_t mode;
  if (exists) {
    mode = st.st_mode & 07777;
    // The owner first: a change of owner may clear the set-id bits.
    struct stat own;
    if (::fstat(fd, &own) == 0 && (own.st_uid != st.st_uid || own.st_gid != st.st_gid) &&
        ::fchown(fd, st.st_uid, st.st_gid) != 0) {
      if (errno != EPERM) fail("cannot set the owner of " + tmp);
      // Not the owner's to give; the group may still be ours to keep.
      if (::fchown(fd, static_cast<uid_t>(-1), st.st_gid) != 0 && errno != EPERM)
        fail("cannot set the group of " + tmp);
    }
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(fd, mode) != 0) fail("cannot set the mode of " + tmp);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("cannot write " + tmp);
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0) fail("cannot flush " + tmp);
  if (::close(fd) != 0) {
    const std::string msg = "cannot write " + tmp + ": " + ErrnoText();
    remove_tmp();
    throw FileError(msg);
  }
  int renamed =
      replace ? ::rename(tmp.c_str(), target.c_str())
              : ::renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
  if (renamed != 0 && !replace && errno == EINVAL && !Exists(target)) {
    // A file system without RENAME_NOREPLACE.
    renamed = ::rename(tmp.c_str(), target.c_str());
  }
  if (renamed != 0) {
    if (!replace && errno == EEXIST) {
      remove_tmp();
      return false;
    }
    const std::string msg = "cannot replace " + target + ": " + ErrnoText();
    remove_tmp();
    throw FileError(msg);
  }
  pending_temp_set = 0;
  const int dfd = ::open(place.dir.empty() ? "." : place.dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

}  // namespace

void WriteFileAtomically(const std::string& path, const std::string& bytes) {
  WriteThroughTemporaryFile(path, bytes, true);
}

bool CreateFileAtomically(const std::string& path, const std::string& bytes) {
  return WriteThroughTemporaryFile(path, bytes, false);
}

void RemoveTemporaryFileOnInterrupt() {
  for (const int sig : {SIGINT, SIGTERM}) {
    struct sigaction old;
    if (::sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction action {};
    action.sa_handler = RemoveTempAndReraise;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND | SA_NODEFER;
    ::sigaction(sig, &action, nullptr);
  }
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return IdentityOfStat(st);
}

std::optional<std::string> DanglingLinkTarget(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode) || Exists(path)) return std::nullopt;
  std::string target(4096, '\0');
  const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
  target.resize(n > 0 ? static_cast<size_t>(n) : 0);
  return target;
}

bool Exists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

FileLock::FileLock(const std::string& path, const std::function<void()>& on_wait) : path_(path) {
  bool told = false;
  for (;;) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw FileError("cannot open " + path + ": " + ErrnoText());
    struct stat locked;
    if (::fstat(fd, &locked) == 0 && S_ISDIR(locked.st_mode)) {
      ::close(fd);
      throw FileError(path + " is a folder, not a file");
    }
    int rc = ::flock(fd, LOCK_EX | LOCK_NB);
    if (rc != 0 && errno == EWOULDBLOCK) {
      if (on_wait && !told) on_wait();
      told = true;
      while ((rc = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
      }
    }
    if (rc != 0 || ::fstat(fd, &locked) != 0) {
      const std::string msg = "cannot lock " + path + ": " + ErrnoText();
      ::close(fd);
      throw FileError(msg);
    }
    // The holder before us may have saved, replacing the file at `path` by a
    // new one: then the lock must be taken on that one.
    struct stat now;
    if (::stat(path.c_str(), &now) == 0 && now.st_dev == locked.st_dev &&
        now.st_ino == locked.st_ino) {
      fd_ = fd;
      identity_ = IdentityOfStat(locked);
      break;
    }
    ::close(fd);
  }
  RemoveStaleTemporaryFiles(Target(path));
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

FileLock::FileLock(FileLock&& other) noexcept
    : path_(std::move(other.path_)),
      fd_(std::exchange(other.fd_, -1)),
      identity_(other.identity_) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    path_ = std::move(other.path_);
    fd_ = std::exchange(other.fd_, -1);
    identity_ = other.identity_;
  }
  return *this;
}

std::string FileLock::Read(uint64_t max_size) const {
  if (::lseek(fd_, 0, SEEK_SET) != 0) throw FileError("cannot read " + path_ + ": " + ErrnoText());
  return ReadToEnd(fd_, path_, max_size);
}

}  // namespace kelvora::host
