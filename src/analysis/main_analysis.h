// The statistics run of the Main command.
#pragma once

namespace kelvora::analysis {

void Main();

}  // namespace kelvora::analysis
