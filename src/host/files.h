// Files on disk: reading a whole file, replacing one atomically, locking one
// against other writers, and telling whether a file is still the one that
// was read. This module is the one place in the host layer that calls the
// operating system's file functions.
//
// Errors: FileError, whose message names the file and says what went wrong
// in words fit to print (the callers print it as it is). Layers above turn it
// into their own error where they meet it.
//
// Temporary files: WriteFileAtomically writes ".NAME.kelvora-PID-XXXXXX.tmp"
// beside NAME (a NAME longer than 200 bytes cut there), where PID is the
// writing process and XXXXXX six random characters. The PID tells whether the
// file's owner still runs: FileLock removes such files of a process that is
// gone, and nothing else.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

namespace kelvora::host {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole content of the file at `path`, read to its end: a pipe or
// /dev/stdin works as well as a file. Throws FileError when it cannot be
// opened or read, is a folder, or is larger than `max_size` bytes.
std::string ReadFile(const std::string& path, uint64_t max_size);

// The first `n` bytes of the file at `path` (all of it when it is shorter).
// Throws FileError as ReadFile does.
std::string ReadFileStart(const std::string& path, size_t n);

// The whole of standard input, as ReadFile reads a file.
std::string ReadStandardInput(uint64_t max_size);

// Replaces the file at `path` by one holding `bytes`: a temporary file in the
// same folder (named as above), flushed to disk, then renamed over `path`. A
// symbolic link is followed: the file it points to is replaced, the link
// stays. The new file keeps the permissions of the one it replaces, and its
// owner and group where this process may set them (a new file gets the
// defaults). A file the caller may not write, or one without any write
// permission (even when the caller is root), is refused, as a spreadsheet
// program refuses it, and so is a folder. On failure throws FileError and
// leaves the file at `path` as it was and no temporary file behind.
void WriteFileAtomically(const std::string& path, const std::string& bytes);

// Writes a new file at `path` holding `bytes` as WriteFileAtomically does,
// unless something is there already, even one made while this call writes:
// then returns false and leaves it as it is. Throws FileError as
// WriteFileAtomically does.
bool CreateFileAtomically(const std::string& path, const std::string& bytes);

// Makes SIGINT and SIGTERM first remove the temporary file that
// WriteFileAtomically is writing at that moment, then end the process by the
// signal's default action (so that its exit status still tells the signal).
// A signal that the process ignores stays ignored. For programs to call once
// at their start; the library itself installs no handler.
void RemoveTemporaryFileOnInterrupt();

// What tells a file's content apart without reading it: a program that
// writes the file changes at least one of these.
struct FileIdentity {
  int64_t size = 0;
  int64_t mtime_ns = 0;  // time of the last change, in nanoseconds
  int64_t inode = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// The identity of the file at `path` (a symbolic link is followed); nothing
// when there is none or it cannot be examined.
std::optional<FileIdentity> IdentityOf(const std::string& path);

// The target of the symbolic link at `path` when it points at nothing (a
// "dangling" link: Exists is false for it, yet a new file cannot be made
// there); nothing otherwise.
std::optional<std::string> DanglingLinkTarget(const std::string& path);

// True when something (a file, a folder) exists at `path`.
bool Exists(const std::string& path);

// True when `path` names a regular file (a symbolic link is followed): not a
// folder, a device or a pipe.
bool IsRegularFile(const std::string& path);

// An exclusive lock on an existing file, held from construction to
// destruction: one writer at a time. Every program of this project that
// reads a file in order to write it back takes it first, reads through it,
// and keeps it until WriteFileAtomically has replaced the file:
//
//   host::FileLock lock(path);           // waits for any other writer
//   std::string bytes = lock.Read(max);  // the file as it is now
//   ... change bytes ...
//   if (IdentityOf(path) != lock.identity()) ... changed by another program
//   host::WriteFileAtomically(path, bytes);
//
// The lock is advisory (flock): it keeps out other holders of a FileLock, not
// programs that do not ask for it, hence the identity check before writing.
// A save replaces the file by a new one, so the lock follows the path: a
// construction that waited on a file which was replaced meanwhile locks the
// new one instead. Not copyable; movable.
class FileLock {
 public:
  // Waits until this process holds the lock on the file that `path` names
  // (a symbolic link is followed), then removes the stale temporary files
  // beside it: those of the naming above, for this file, whose process no
  // longer runs. Throws FileError when no file can be opened at `path`, it
  // is a folder, or it cannot be locked. When another holder has the lock,
  // `on_wait` (when given) is called once before the wait, so that a program
  // can say why it pauses.
  explicit FileLock(const std::string& path, const std::function<void()>& on_wait = {});
  ~FileLock();
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // The locked file as it was once locked.
  const FileIdentity& identity() const { return identity_; }
  // The locked file's whole content. Throws FileError when it cannot be
  // read or is larger than `max_size` bytes.
  std::string Read(uint64_t max_size) const;

 private:
  std::string path_;
  int fd_ = -1;
  FileIdentity identity_;
};

}  // namespace kelvora::host
