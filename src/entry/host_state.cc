#include "entry/host_state.h"

namespace kelvora {

namespace {
thread_local HostState g_state;
}  // namespace

HostState& CurrentHostState() { return g_state; }

void SetThreadPlatform(const host::Platform& platform) { g_state.platform = platform; }

}  // namespace kelvora
