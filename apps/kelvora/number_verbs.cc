#include "verbs.h"

namespace kelvora::tool {

// The digest and numbers verbs come with the number sets.
void AddNumberVerbs(CLI::App&, int&) {}

}  // namespace kelvora::tool
