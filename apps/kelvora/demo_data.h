// The sample result pages the demo takes in, built into the tool so that the
// demo runs from any folder. Empty when the build found no such sample.
#pragma once

#include <string_view>

namespace kelvora::tool {

extern const std::string_view kDemoHundredDraws;  // a saved page of the last 100 draws
extern const std::string_view kDemoByDate;        // a saved page of draws by date
extern const std::string_view kDemoSpecialPrize;  // the copied text of a special-prize page

}  // namespace kelvora::tool
