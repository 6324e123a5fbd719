// One call of the automation server into the engine: the Windows platform
// installed for its length, and every failure caught as an error number and
// description. Kelvora.Sub reports the failure to its caller; the ribbon's
// add-in shows it.
#pragma once

#include <cstdint>
#include <exception>
#include <new>
#include <optional>
#include <string>

#include "entry/host_state.h"
#include "excel/windows_platform.h"
#include "host/error.h"

namespace kelvora::com {

// The Windows platform for the length of one call, with a clipboard opened
// with the window of the Excel bound on the thread as owner; what was
// installed before is put back when the call ends.
class CallPlatform {
 public:
  CallPlatform()
      : clipboard_(CurrentHostState().book.HostWindow), previous_(CurrentHostState().platform) {
    SetThreadPlatform(host::excel::WindowsPlatform(&clipboard_));
  }
  ~CallPlatform() { SetThreadPlatform(previous_); }
  CallPlatform(const CallPlatform&) = delete;
  CallPlatform& operator=(const CallPlatform&) = delete;

 private:
  host::excel::WindowsClipboard clipboard_;
  host::Platform previous_;
};

struct CallFailure {
  int32_t number;
  std::string description;  // UTF-8
};

// Runs `body` under a CallPlatform. Nothing when it returned; otherwise its
// failure: a CommandError as it is, running out of memory as error 7,
// anything else as error 51.
template <typename Body>
std::optional<CallFailure> RunGuarded(Body&& body) noexcept {
  try {
    const CallPlatform platform;
    body();
    return std::nullopt;
  } catch (const CommandError& e) {
    return CallFailure{e.number(), e.description()};
  } catch (const std::bad_alloc&) {
    return CallFailure{7, "Out of memory"};
  } catch (const std::exception& e) {
    return CallFailure{51, std::string("Internal error: ") + e.what()};
  } catch (...) {
    return CallFailure{51, "Internal error"};
  }
}

}  // namespace kelvora::com
