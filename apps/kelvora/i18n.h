// The tool's own lines go through GNU gettext, in the text domain "kelvora".
// Wrap every line the tool itself writes in _() as one whole sentence; the
// system's own Vietnamese texts, shared with the component, are not wrapped.
// Until the domain is bound, _() gives its argument back unchanged.
#pragma once

#include <libintl.h>

namespace kelvora::tool {

// The translation of `msgid` in the current locale, or `msgid` itself.
inline const char* _(const char* msgid) { return gettext(msgid); }

}  // namespace kelvora::tool
