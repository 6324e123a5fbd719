#include "html/html_nesting.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <iterator>
#include <map>
#include <vector>

namespace kelvora::html {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// Elements that never nest: void elements and those whose end tag may be
// left out, which the parser closes by itself.
bool Uncounted(const std::string& name) {
  static constexpr std::array<std::string_view, 35> kNames = {
      "area", "base",  "br",       "col",     "embed", "hr",    "img",    "input",    "link",
      "meta", "param", "source",   "track",   "wbr",   "p",     "li",     "dt",       "dd",
      "tr",   "td",    "th",       "thead",   "tbody", "tfoot", "option", "optgroup", "rb",
      "rt",   "rp",    "colgroup", "caption", "html",  "head",  "body",   "frame"};
  return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}

// Elements whose content is text up to their end tag.
bool RawText(const std::string& name) {
  return name == "script" || name == "style" || name == "textarea" || name == "title" ||
         name == "xmp" || name == "noembed" || name == "noframes" || name == "plaintext";
}

bool NameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == ':' || c == '_';
}

// The end of the tag that starts at `at` ('<'): one past its '>', quotes
// respected; the end of the text when it has none.
size_t TagEnd(std::string_view html, size_t at) {
  char quote = 0;
  for (size_t i = at + 1; i < html.size(); ++i) {
    const char c = html[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i + 1;
    }
  }
  return html.size();
}

}  // namespace

std::optional<std::string> CapNesting(std::string_view html, int max_depth) {
  std::string out;                     // made only once an element is moved
  std::vector<std::string> open;       // counted elements open, innermost last
  std::map<std::string, int> dropped;  // end tags to leave out, by name
  size_t copied = 0;                   // html[copied, at) is still to copy
  size_t at = 0;
  while ((at = html.find('<', at)) != std::string_view::npos) {
    if (html.substr(at, 4) == "<!--") {
      const size_t end = html.find("-->", at + 4);
      at = end == std::string_view::npos ? html.size() : end + 3;
      continue;
    }
    const bool closing = at + 1 < html.size() && html[at + 1] == '/';
    const size_t name_start = at + (closing ? 2 : 1);
    size_t name_end = name_start;
    while (name_end < html.size() && NameChar(html[name_end])) ++name_end;
    const std::string name = Lower(html.substr(name_start, name_end - name_start));
    if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) {
      // Not a tag ("<" in text) or a declaration ("<!DOCTYPE", "<?xml").
      const bool declaration = at + 1 < html.size() && (html[at + 1] == '!' || html[at + 1] == '?');
      at = declaration ? TagEnd(html, at) : at + 1;
      continue;
    }
    const size_t end = TagEnd(html, at);
    const bool self_closing = end >= 2 && html[end - 2] == '/';
    if (!closing && RawText(name)) {
      // Its content is text up to its own end tag.
      const std::string close = "</" + name;
      size_t i = end;
      while ((i = html.find("</", i)) != std::string_view::npos &&
             Lower(html.substr(i, close.size())) != close)
        ++i;
      at = i == std::string_view::npos ? html.size() : i;
      continue;
    }
    if (Uncounted(name) || self_closing) {
      at = end;
      continue;
    }
    if (!closing) {
      if (static_cast<int>(open.size()) >= max_depth) {
        // At the limit the new element becomes a sibling of the innermost
        // one, which closes here; its own end tag comes later and goes.
        out.append(html.substr(copied, at - copied));
        out += "</" + open.back() + ">";
        copied = at;
        ++dropped[open.back()];
        open.pop_back();
      }
      open.push_back(name);
    } else if (auto it = dropped.find(name); it != dropped.end() && it->second > 0) {
      --it->second;
      out.append(html.substr(copied, at - copied));
      copied = end;
    } else if (auto it = std::find(open.rbegin(), open.rend(), name); it != open.rend()) {
      open.erase(std::next(it).base(), open.end());
    }
    at = end;
  }
  if (copied == 0) return std::nullopt;
  out.append(html.substr(copied));
  return out;
}

}  // namespace kelvora::html
