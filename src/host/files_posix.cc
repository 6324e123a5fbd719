#include "host/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace kelvora::host {

std::string ReadFile(const std::string& path, uint64_t max_size) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError("cannot open " + path + ": " + std::strerror(errno));
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) throw FileError("cannot read " + path);
  if (static_cast<uint64_t>(size) > max_size) throw FileError(path + " is too large");
  in.seekg(0);
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!in.read(bytes.data(), size)) throw FileError("cannot read " + path);
  return bytes;
}

void WriteFileAtomically(const std::string& path, const std::string& bytes) {
  std::string target = path;
  char resolved[PATH_MAX];
  struct stat lst;
  if (lstat(path.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode) &&
      realpath(path.c_str(), resolved) != nullptr) {
    target = resolved;
  }
  if (access(target.c_str(), F_OK) == 0 && access(target.c_str(), W_OK) != 0) {
    throw FileError(target + " is read-only");
  }
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string tmp = (slash == std::string::npos ? std::string() : dir) + "." + base + ".XXXXXX";
  const int fd = mkstemp(tmp.data());
  if (fd < 0) {
    throw FileError("cannot write in " + dir + ": " + std::strerror(errno));
  }
  auto fail = [&](const std::string& what) {
    const std::string msg = what + ": " + std::strerror(errno);
    ::close(fd);
    ::unlink(tmp.c_str());
    throw FileError(msg);
  };
  struct stat st;
  mode_t mode;
  if (stat(target.c_str(), &st) == 0) {
    mode = st.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  if (fchmod(fd, mode) != 0) fail("cannot set the mode of " + tmp);
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
    const std::string msg = "cannot write " + tmp + ": " + std::strerror(errno);
    ::unlink(tmp.c_str());
    throw FileError(msg);
  }
  if (::rename(tmp.c_str(), target.c_str()) != 0) {
    const std::string msg = "cannot replace " + target + ": " + std::strerror(errno);
    ::unlink(tmp.c_str());
    throw FileError(msg);
  }
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  FileIdentity id;
  id.size = static_cast<int64_t>(st.st_size);
  id.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  id.inode = static_cast<int64_t>(st.st_ino);
  return id;
}

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

}  // namespace kelvora::host
