// Runs test code once on each SHA-256 compression back end this processor offers.
#pragma once

#include <gtest/gtest.h>

#include "numbersets/sha256.h"

namespace kelvora::numbersets {

template <typename F>
void ForEachBackend(F&& body) {
  const Sha256Backend saved = CurrentSha256Backend();
  for (Sha256Backend b : {Sha256Backend::kPortable, Sha256Backend::kShaNi}) {
    if (b == Sha256Backend::kShaNi && !ShaNiAvailable()) continue;
    EXPECT_TRUE(SetSha256Backend(b));
    SCOPED_TRACE(b == Sha256Backend::kShaNi ? "SHA extensions" : "portable");
    body(b);
  }
  SetSha256Backend(saved);
}

}  // namespace kelvora::numbersets
