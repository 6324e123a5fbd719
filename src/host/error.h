// The error model of a command: a failure carries an error number and a
// description, as an automation error does. A command that fails leaves where
// it happened; what it already wrote stays. The command-line tool turns it
// into a message and an exit status, the Windows server into an automation
// error with the same number and text.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kelvora {

// Well-known error numbers (the numbering the host's macro language uses).
namespace err {
inline constexpr int32_t kInvalidProcedureCall = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kObjectRequired = 91;   // empty object reference
inline constexpr int32_t kHostRefused = 1004;    // a member call the host refused
inline constexpr int32_t kNotImplemented = 445;  // object doesn't support this action
}  // namespace err

class CommandError : public std::runtime_error {
 public:
  // `description` is UTF-8.
  CommandError(int32_t number, const std::string& description)
      : std::runtime_error(description), number_(number) {}
  int32_t number() const { return number_; }
  std::string description() const { return what(); }

 private:
  int32_t number_;
};

// Convenience raisers with the host's standard descriptions.
[[noreturn]] void ThrowOverflow();
[[noreturn]] void ThrowSubscriptOutOfRange();
[[noreturn]] void ThrowTypeMismatch();
[[noreturn]] void ThrowObjectRequired(const char* what);
[[noreturn]] void ThrowInvalidProcedureCall();
[[noreturn]] void ThrowHostRefused(const std::string& description);

}  // namespace kelvora
