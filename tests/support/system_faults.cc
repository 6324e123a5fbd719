#include "support/system_faults.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace kelvora::testing {
namespace {

struct Armed {
  std::string name;
  int error, after, times;
  int calls = 0, struck = 0;
};
Armed* armed = nullptr;

// True when this call of `name` is to fail; errno is then set.
bool Strikes(const char* name) {
  if (armed == nullptr || armed->name != name) return false;
  const int n = armed->calls++;
  if (n < armed->after || n >= armed->after + armed->times) return false;
  ++armed->struck;
  errno = armed->error;
  return true;
}

// The C library's `name`, of the type of `F`.
template <class F>
F* Real(const char* name) {
  void* symbol = dlsym(RTLD_NEXT, name);
  if (symbol == nullptr) std::abort();
  F* f;
  static_assert(sizeof f == sizeof symbol);
  __builtin_memcpy(&f, &symbol, sizeof f);
  return f;
}

}  // namespace

SystemFault::SystemFault(const std::string& name, int error, int after, int times) {
  if (armed != nullptr) throw std::logic_error("one system fault at a time");
  armed = new Armed{name, error, after, times};
}

SystemFault::~SystemFault() {
  delete armed;
  armed = nullptr;
}

bool SystemFault::struck() const { return armed->struck > 0; }

}  // namespace kelvora::testing

using kelvora::testing::Real;
using kelvora::testing::Strikes;

// Each call: -1 and the armed errno when armed, else the C library's.
// `nothrow` is noexcept where the C library declares the call so.
#define KELVORA_SYSTEM_CALL(ret, name, params, args, nothrow) \
  extern "C" ret name params nothrow {                        \
    static auto* real = Real<ret params>(#name);              \
    if (Strikes(#name)) return -1;                            \
    return real args;                                         \
  }

KELVORA_SYSTEM_CALL(int, close, (int fd), (fd), )
KELVORA_SYSTEM_CALL(int, fchmod, (int fd, mode_t mode), (fd, mode), noexcept)
KELVORA_SYSTEM_CALL(int, fchown, (int fd, uid_t uid, gid_t gid), (fd, uid, gid), noexcept)
KELVORA_SYSTEM_CALL(int, flock, (int fd, int op), (fd, op), noexcept)
KELVORA_SYSTEM_CALL(int, fstat, (int fd, struct stat* st), (fd, st), noexcept)
KELVORA_SYSTEM_CALL(int, fsync, (int fd), (fd), )
KELVORA_SYSTEM_CALL(off_t, lseek, (int fd, off_t offset, int whence), (fd, offset, whence),
                    noexcept)
KELVORA_SYSTEM_CALL(int, mkstemps, (char* pattern, int suffix), (pattern, suffix), )
KELVORA_SYSTEM_CALL(ssize_t, read, (int fd, void* buf, size_t n), (fd, buf, n), )
KELVORA_SYSTEM_CALL(int, rename, (const char* from, const char* to), (from, to), noexcept)
KELVORA_SYSTEM_CALL(int, renameat2,
                    (int from_dir, const char* from, int to_dir, const char* to, unsigned flags),
                    (from_dir, from, to_dir, to, flags), noexcept)
KELVORA_SYSTEM_CALL(ssize_t, write, (int fd, const void* buf, size_t n), (fd, buf, n), )
