// Failing system calls on demand, for the tests of the code that makes them.
// The test program itself defines the calls below; each goes on to the C
// library unless a test has armed a fault for it. The code under test calls
// them by their plain names, so it needs no seam of its own. Faults are for
// the thread that runs the tests; arm them around the one call under test.
//
// The calls: close, fchmod, fchown, flock, fstat, fsync, lseek, mkstemps,
// read, rename, renameat2, write.
#pragma once

#include <string>

namespace kelvora::testing {

// While alive, makes the `after`-th call (counted from 0, from construction
// on) of the system call `name` fail with `error`, without calling the
// system; `times` calls in a row fail. Only one fault at a time.
class SystemFault {
 public:
  SystemFault(const std::string& name, int error, int after = 0, int times = 1);
  ~SystemFault();
  SystemFault(const SystemFault&) = delete;
  SystemFault& operator=(const SystemFault&) = delete;

  // Whether the fault has struck at least once.
  bool struck() const;
};

}  // namespace kelvora::testing
