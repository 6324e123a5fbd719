// Escaping a text for markup: the characters that would end or open markup
// in HTML or XML content and in double-quoted attribute values.
#pragma once

#include <string>
#include <string_view>

namespace kelvora {

// Appends `utf8` to `out` with &, <, > and " written as &amp;, &lt;, &gt;
// and &quot;; every other byte as it is.
void AppendEscapedMarkup(std::string& out, std::string_view utf8);

}  // namespace kelvora
