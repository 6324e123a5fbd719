// The tool's own lines go through GNU gettext, in the text domain "kelvora".
// Wrap every line the tool itself writes in _() as one whole sentence, its
// variable parts as numbered placeholders {1}, {2}, ... filled by Fill(); a
// line that depends on a count goes through _n(). The system's own
// Vietnamese texts, shared with the component, are not wrapped.
// Until StartLanguage() binds the domain, _() gives its argument back
// unchanged.
#pragma once

#include <libintl.h>

#include <concepts>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kelvora::tool {

// The translation of `msgid` in the current locale, or `msgid` itself.
inline const char* _(const char* msgid) { return gettext(msgid); }

// The translation of the form of `singular`/`plural` that the language uses
// for `n`.
inline const char* _n(const char* singular, const char* plural, unsigned long n) {
  return ngettext(singular, plural, n);
}

// One value put into a placeholder: text, or a whole number.
struct FillArg {
  FillArg(std::string_view s) : text(s) {}
  FillArg(const std::string& s) : text(s) {}
  FillArg(const char* s) : text(s) {}
  template <std::integral T>
  FillArg(T n) : text(std::to_string(n)) {}
  std::string text;
};

// `pattern` with each {1}..{9} replaced by the argument of that number; a
// placeholder without an argument stays as it is.
std::string Fill(std::string_view pattern, std::initializer_list<FillArg> args);

// Called once at start: the messages follow the user's locale (LANGUAGE,
// LC_ALL, LC_MESSAGES, LANG) and come from the catalogue beside the tool
// (the build tree's locale/ folder) or else the installed one.
void StartLanguage();

// `number`, a figure the engine wrote with a decimal point, with the decimal
// mark of the user's numeric locale ("12.5%" reads "12,5%" under vi_VN), for
// text a person reads. Never for JSON or CSV.
std::string LocalDecimal(std::string number);

}  // namespace kelvora::tool
