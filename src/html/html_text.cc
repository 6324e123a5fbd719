#include "html/html_text.h"

#include <gumbo.h>

#include <algorithm>
#include <cstddef>
#include <limits>
#include <memory_resource>
#include <optional>

#include "html/html_nesting.h"
#include "text/utf.h"

namespace kelvora::html {
namespace {

// Inputs past this size are not parsed (gumbo keeps source offsets in 32 bits).
constexpr size_t kMaxHtmlBytes = size_t{1} << 30;

bool IsAsciiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

std::string_view TrimAscii(std::string_view s) {
  while (!s.empty() && IsAsciiSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsAsciiSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (AsciiLower(s[i]) != AsciiLower(prefix[i])) return false;
  return true;
}

// ---------------------------------------------------------------------------
// Inline style declarations ("name: value; name: value").

std::optional<std::string> StyleProperty(std::string_view style, std::string_view name) {
  std::optional<std::string> found;
  while (!style.empty()) {
    const size_t semi = style.find(';');
    std::string_view decl = style.substr(0, semi);
    style = semi == std::string_view::npos ? std::string_view() : style.substr(semi + 1);
    const size_t colon = decl.find(':');
    if (colon == std::string_view::npos) continue;
    if (Lower(TrimAscii(decl.substr(0, colon))) != name) continue;
    std::string_view value = TrimAscii(decl.substr(colon + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = TrimAscii(value.substr(1, value.size() - 2));
    }
    found = std::string(value);  // the last declaration wins, as in CSS
  }
  return found;
}

const char* AttributeValue(const GumboNode* node, const char* name) {
  const GumboAttribute* a = gumbo_get_attribute(&node->v.element.attributes, name);
  return a == nullptr ? nullptr : a->value;
}

bool HasTextNumberFormat(const GumboNode* element) {
  const char* style = AttributeValue(element, "style");
  if (style == nullptr) return false;
  const auto value = StyleProperty(style, "mso-number-format");
  return value.has_value() && (*value == "\\@" || *value == "@");
}

bool AsksSameCell(std::string_view style) {
  const auto value = StyleProperty(style, "mso-data-placement");
  return value.has_value() && Lower(*value) == "same-cell";
}

// A style sheet rule such as "br {mso-data-placement:same-cell;}". The rule
// is taken to apply to every <br>, which is how pages use it.
bool StyleSheetAsksSameCell(std::string_view css) {
  const std::string lower = Lower(css);
  size_t pos = 0;
  while ((pos = lower.find("mso-data-placement", pos)) != std::string::npos) {
    pos += 18;
    size_t i = pos;
    while (i < lower.size() && IsAsciiSpace(lower[i])) ++i;
    if (i >= lower.size() || lower[i] != ':') continue;
    ++i;
    while (i < lower.size() && (IsAsciiSpace(lower[i]) || lower[i] == '"' || lower[i] == '\'')) ++i;
    if (lower.compare(i, 9, "same-cell") == 0) return true;
  }
  return false;
}

// The HTML rules for a span attribute: leading whitespace, an optional "+",
// digits; anything else (or no attribute) gives the default.
int32_t SpanValue(const GumboNode* cell, const char* name, int32_t fallback, int32_t max) {
  const char* text = AttributeValue(cell, name);
  if (text == nullptr) return fallback;
  std::string_view s(text);
  while (!s.empty() && IsAsciiSpace(s.front())) s.remove_prefix(1);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.front() < '0' || s.front() > '9') return fallback;
  int64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    v = std::min<int64_t>(v * 10 + (c - '0'), int64_t{max} + 1);
  }
  return static_cast<int32_t>(std::min<int64_t>(v, max));
}

// ---------------------------------------------------------------------------
// Element classes.

bool IsHtmlElement(const GumboNode* node) {
  return node->type == GUMBO_NODE_ELEMENT && node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML;
}

GumboTag TagOf(const GumboNode* node) {
  return IsHtmlElement(node) ? node->v.element.tag : GUMBO_TAG_UNKNOWN;
}

bool IsHiddenContent(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_NOSCRIPT:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_OBJECT:
      return true;
    default:
      return false;
  }
}

bool IsBlock(GumboTag tag) {
  switch (tag) {
    case GUMBO_TAG_HTML:
    case GUMBO_TAG_BODY:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_HGROUP:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_P:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_FIGCAPTION:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_LEGEND:
    case GUMBO_TAG_DETAILS:
    case GUMBO_TAG_SUMMARY:
    case GUMBO_TAG_MENU:
    case GUMBO_TAG_DIR:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_LISTING:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_PLAINTEXT:
    case GUMBO_TAG_OPTGROUP:
    case GUMBO_TAG_OPTION:
    // Table parts met outside a table's own layout (inside a cell) only
    // separate words.
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_THEAD:
    case GUMBO_TAG_TBODY:
    case GUMBO_TAG_TFOOT:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_TD:
    case GUMBO_TAG_TH:
      return true;
    default:
      return false;
  }
}

bool IsTextNode(const GumboNode* node) {
  return node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE ||
         node->type == GUMBO_NODE_CDATA;
}

// Children of a document, element or template node.
const GumboVector* ChildrenOf(const GumboNode* node) {
  switch (node->type) {
    case GUMBO_NODE_DOCUMENT:
      return &node->v.document.children;
    case GUMBO_NODE_ELEMENT:
    case GUMBO_NODE_TEMPLATE:
      return &node->v.element.children;
    default:
      return nullptr;
  }
}

const GumboNode* Child(const GumboVector* v, unsigned i) {
  return static_cast<const GumboNode*>(v->data[i]);
}

// Visits the subtree under `root` in document order without recursion (pages
// can nest deeply). `enter` returns false to skip an element's children;
// `leave` runs after an entered element's children.
template <typename Enter, typename Text, typename Leave>
void Walk(const GumboNode* root, Enter enter, Text text, Leave leave) {
  struct Frame {
    const GumboNode* node;
    unsigned next;
  };
  std::vector<Frame> stack;
  stack.push_back({root, 0});
  while (!stack.empty()) {
    Frame& top = stack.back();
    const GumboVector* children = ChildrenOf(top.node);
    if (children == nullptr || top.next >= children->length) {
      const GumboNode* done = top.node;
      stack.pop_back();
      if (done != root) leave(done);
      continue;
    }
    const GumboNode* child = Child(children, top.next++);
    if (IsTextNode(child)) {
      text(std::string_view(child->v.text.text));
    } else if (child->type == GUMBO_NODE_ELEMENT && enter(child)) {
      stack.push_back({child, 0});
    }
  }
}

// Text of a style element (for the same-cell rule).
std::string RawText(const GumboNode* element) {
  std::string out;
  const GumboVector* children = ChildrenOf(element);
  for (unsigned i = 0; children != nullptr && i < children->length; ++i) {
    const GumboNode* c = Child(children, i);
    if (IsTextNode(c)) out += c->v.text.text;
  }
  return out;
}

// ---------------------------------------------------------------------------

class DocumentReader {
 public:
  HtmlDocument Read(const GumboNode* document) {
    Walk(
        document, [&](const GumboNode* e) { return EnterFlow(e); },
        [&](std::string_view t) { line_ += t; },
        [&](const GumboNode* e) {
          if (IsBlock(TagOf(e))) FlushBlock();
        });
    FlushBlock();
    return std::move(doc_);
  }

 private:
  // Checks a hidden element for the style sheet rule; true when its content
  // is not page text.
  bool Hidden(const GumboNode* e) {
    const GumboTag tag = TagOf(e);
    if (tag == GUMBO_TAG_STYLE && StyleSheetAsksSameCell(RawText(e))) doc_.br_same_cell = true;
    return IsHiddenContent(tag);
  }

  bool EnterFlow(const GumboNode* e) {
    if (Hidden(e)) return false;
    const GumboTag tag = TagOf(e);
    if (tag == GUMBO_TAG_BR) {
      FlushBlock();
      return false;
    }
    if (tag == GUMBO_TAG_TABLE) {
      FlushBlock();
      ReadTable(e);
      return false;
    }
    if (IsBlock(tag)) FlushBlock();
    return true;
  }

  void FlushBlock() {
    std::string text = CollapseWhitespace(line_);
    line_.clear();
    if (text.empty()) return;
    HtmlPiece piece;
    piece.text = std::move(text);
    doc_.pieces.push_back(std::move(piece));
  }

  void ReadTable(const GumboNode* table) {
    HtmlPiece piece;
    piece.is_table = true;
    const bool table_text = HasTextNumberFormat(table);
    int32_t group = 0;
    const GumboVector* children = ChildrenOf(table);
    for (unsigned i = 0; i < children->length; ++i) {
      const GumboNode* part = Child(children, i);
      switch (TagOf(part)) {
        case GUMBO_TAG_CAPTION: {
          HtmlCell caption = ReadCell(part);
          std::string text;
          for (const auto& line : caption.lines) {
            if (line.text.empty()) continue;
            if (!text.empty()) text += ' ';
            text += line.text;
          }
          if (!text.empty()) {
            HtmlPiece block;
            block.text = std::move(text);
            doc_.pieces.push_back(std::move(block));
          }
          break;
        }
        case GUMBO_TAG_THEAD:
        case GUMBO_TAG_TBODY:
        case GUMBO_TAG_TFOOT: {
          ++group;
          const bool group_text = table_text || HasTextNumberFormat(part);
          const GumboVector* rows = ChildrenOf(part);
          for (unsigned r = 0; r < rows->length; ++r) {
            const GumboNode* tr = Child(rows, r);
            if (TagOf(tr) == GUMBO_TAG_TR) piece.rows.push_back(ReadRow(tr, group, group_text));
          }
          break;
        }
        case GUMBO_TAG_TR:
          piece.rows.push_back(ReadRow(part, ++group, table_text));
          break;
        default:
          if (part->type == GUMBO_NODE_ELEMENT) Hidden(part);
          break;
      }
    }
    doc_.pieces.push_back(std::move(piece));
  }

  HtmlTableRow ReadRow(const GumboNode* tr, int32_t group, bool inherited_text) {
    HtmlTableRow row;
    row.group = group;
    const bool row_text = inherited_text || HasTextNumberFormat(tr);
    const GumboVector* children = ChildrenOf(tr);
    // Sized to the row: the rows of a large page are most of what is kept.
    size_t cells = 0;
    for (unsigned i = 0; i < children->length; ++i) {
      const GumboTag tag = TagOf(Child(children, i));
      if (tag == GUMBO_TAG_TD || tag == GUMBO_TAG_TH) ++cells;
    }
    row.cells.reserve(cells);
    for (unsigned i = 0; i < children->length; ++i) {
      const GumboNode* c = Child(children, i);
      const GumboTag tag = TagOf(c);
      if (tag != GUMBO_TAG_TD && tag != GUMBO_TAG_TH) continue;
      HtmlCell cell = ReadCell(c);
      cell.colspan = std::max(1, SpanValue(c, "colspan", 1, kMaxColspan));
      cell.rowspan = SpanValue(c, "rowspan", 1, kMaxRowspan);
      cell.as_text = row_text || HasTextNumberFormat(c);
      row.cells.push_back(std::move(cell));
    }
    return row;
  }

  HtmlCell ReadCell(const GumboNode* cell) {
    std::vector<std::pair<std::string, bool>> raw(1);
    Walk(
        cell,
        [&](const GumboNode* e) {
          if (Hidden(e)) return false;
          const GumboTag tag = TagOf(e);
          if (tag == GUMBO_TAG_BR) {
            const char* style = AttributeValue(e, "style");
            raw.emplace_back(std::string(), style != nullptr && AsksSameCell(style));
            return false;
          }
          if (IsBlock(tag)) raw.back().first += ' ';
          return true;
        },
        [&](std::string_view t) { raw.back().first += t; },
        [&](const GumboNode* e) {
          if (IsBlock(TagOf(e))) raw.back().first += ' ';
        });
    HtmlCell out;
    for (auto& [text, same_cell] : raw) out.lines.push_back({CollapseWhitespace(text), same_cell});
    while (out.lines.size() > 1 && out.lines.back().text.empty()) out.lines.pop_back();
    return out;
  }

  HtmlDocument doc_;
  std::string line_;
};

// Gumbo's memory comes from one arena that is given back whole once the
// page is read: a large page's tree is millions of small blocks, which would
// otherwise cost the allocator's bookkeeping on each and a walk of the whole
// tree to free them. What Gumbo frees while it parses stays in the arena
// until then. Its blocks are aligned as its structures of pointers, sizes
// and integers need, not to malloc's 16 bytes: most are a few bytes long.
constexpr size_t kGumboBlockAlignment =
    std::max({alignof(void*), alignof(size_t), alignof(double)});

void* ArenaAllocate(void* arena, size_t size) {
  return static_cast<std::pmr::monotonic_buffer_resource*>(arena)->allocate(
      std::max<size_t>(size, 1), kGumboBlockAlignment);
}

void ArenaFree(void* /*arena*/, void* /*block*/) {}

std::optional<int64_t> HeaderNumber(std::string_view header, std::string_view key) {
  size_t pos = 0;
  while (pos < header.size()) {
    size_t end = header.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = header.size();
    std::string_view line = header.substr(pos, end - pos);
    pos = end + 1;
    if (!StartsWithNoCase(line, key) || line.size() <= key.size() || line[key.size()] != ':')
      continue;
    std::string_view v = TrimAscii(line.substr(key.size() + 1));
    bool negative = false;
    if (!v.empty() && v.front() == '-') {
      negative = true;
      v.remove_prefix(1);
    }
    if (v.empty() || v.size() > 12) return std::nullopt;
    int64_t n = 0;
    for (char c : v) {
      if (c < '0' || c > '9') return std::nullopt;
      n = n * 10 + (c - '0');
    }
    return negative ? -n : n;
  }
  return std::nullopt;
}

}  // namespace

std::string CollapseWhitespace(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  bool pending_space = false;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    bool space = IsAsciiSpace(c);
    if (!space && static_cast<unsigned char>(c) == 0xC2 && i + 1 < utf8.size() &&
        static_cast<unsigned char>(utf8[i + 1]) == 0xA0) {
      space = true;  // U+00A0, no-break space
      ++i;
    }
    if (space) {
      pending_space = !out.empty();
      continue;
    }
    if (pending_space) out += ' ';
    pending_space = false;
    out += c;
  }
  return out;
}

std::string_view ClipboardHtmlBody(std::string_view clipboard) {
  if (!StartsWithNoCase(clipboard, "Version:")) return clipboard;
  const size_t first_tag = clipboard.find('<');
  const std::string_view header = clipboard.substr(0, first_tag);
  const auto size = static_cast<int64_t>(clipboard.size());
  auto slice = [&](std::optional<int64_t> b,
                   std::optional<int64_t> e) -> std::optional<std::string_view> {
    if (!b || *b < 0 || *b >= size) return std::nullopt;
    const int64_t end = (e && *e > *b && *e <= size) ? *e : size;
    return clipboard.substr(static_cast<size_t>(*b), static_cast<size_t>(end - *b));
  };
  if (auto s = slice(HeaderNumber(header, "StartHTML"), HeaderNumber(header, "EndHTML"))) return *s;
  if (auto s = slice(HeaderNumber(header, "StartFragment"), HeaderNumber(header, "EndFragment")))
    return *s;
  return first_tag == std::string_view::npos ? std::string_view() : clipboard.substr(first_tag);
}

HtmlDocument ReadClipboardHtml(std::string_view html) {
  const std::string_view body = ClipboardHtmlBody(html);
  if (body.empty() || body.size() > kMaxHtmlBytes) return {};
  const std::optional<std::string> capped = CapNesting(body);
  const std::string_view page = capped ? std::string_view(*capped) : body;
  std::pmr::monotonic_buffer_resource arena;
  GumboOptions options = kGumboDefaultOptions;
  options.allocator = ArenaAllocate;
  options.deallocator = ArenaFree;
  options.userdata = &arena;
  options.max_errors = 0;  // parse errors are not kept
  const GumboOutput* output = gumbo_parse_with_options(&options, page.data(), page.size());
  if (output == nullptr || output->document == nullptr) return {};
  return DocumentReader().Read(output->document);
}

std::u16string HtmlToClipboardText(std::string_view html) {
  const HtmlDocument doc = ReadClipboardHtml(html);
  std::string out;
  bool first = true;
  for (const HtmlPiece& piece : doc.pieces) {
    if (!piece.is_table) {
      if (!first) out += "\r\n";
      out += piece.text;
      first = false;
      continue;
    }
    for (const HtmlTableRow& row : piece.rows) {
      if (!first) out += "\r\n";
      first = false;
      for (size_t c = 0; c < row.cells.size(); ++c) {
        if (c > 0) out += '\t';
        const auto& lines = row.cells[c].lines;
        for (size_t l = 0; l < lines.size(); ++l) {
          if (l > 0) out += "\r\n";
          out += lines[l].text;
        }
      }
    }
  }
  return Utf8ToUtf16(out);
}

}  // namespace kelvora::html
