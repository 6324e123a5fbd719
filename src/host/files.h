// Files on disk: reading a whole file, replacing one atomically, and telling
// whether a file is still the one that was read. This module is the one
// place in the host layer that calls the operating system's file functions.
//
// Errors: FileError, whose message names the file and says what went wrong
// in words fit to print (the callers print it as it is). Layers above turn it
// into their own error where they meet it.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace kelvora::host {

class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole content of the file at `path`. Throws FileError when it cannot
// be opened or read, or is larger than `max_size` bytes.
std::string ReadFile(const std::string& path, uint64_t max_size);

// Replaces the file at `path` by one holding `bytes`: a temporary file in the
// same folder, flushed to disk, then renamed over `path`. A symbolic link is
// followed: the file it points to is replaced, the link stays. The new file
// keeps the permissions of the one it replaces (a new file gets the default
// ones). A file the caller may not write is refused, as a spreadsheet
// program refuses it. On failure throws FileError and leaves the file at
// `path` as it was and no temporary file behind.
void WriteFileAtomically(const std::string& path, const std::string& bytes);

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

// True when something (a file, a folder) exists at `path`.
bool Exists(const std::string& path);

}  // namespace kelvora::host
