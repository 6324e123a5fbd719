// The module-wide host state of the component: the six host references Sup
// binds, the platform services and the paste flag, one copy per thread and
// shared by every Sub instance created on that thread. This file is the only
// place where state is shared that way; a command sees it only through the
// session built from it.
#pragma once

#include "host/platform.h"
#include "host/session.h"

namespace kelvora {

struct HostState {
  host::BoundBook book;
  host::Platform platform;
  bool paste_failed = false;
};

// The calling thread's state.
HostState& CurrentHostState();

// Installs the platform services of the calling thread (the Windows server
// installs the system's). Not owned: they must outlive the commands.
void SetThreadPlatform(const host::Platform& platform);

// Runs `command` on a session built from the calling thread's state; the
// paste flag the command leaves is kept for the thread. Returns how the
// command ended; a failure is passed on.
template <typename Command>
host::Outcome RunOnThreadState(Command&& command) {
  HostState& state = CurrentHostState();
  host::Session session(state.book, state.platform);
  session.paste_failed = state.paste_failed;
  struct KeepFlag {
    HostState& state;
    host::Session& session;
    ~KeepFlag() { state.paste_failed = session.paste_failed; }
  } keep{state, session};
  command(session);
  return session.outcome();
}

}  // namespace kelvora
