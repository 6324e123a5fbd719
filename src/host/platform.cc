#include "host/platform.h"

namespace kelvora::host {

namespace {
thread_local Platform g_platform;
}

Platform& CurrentPlatform() { return g_platform; }
void SetCurrentPlatform(const Platform& platform) { g_platform = platform; }

}  // namespace kelvora::host
