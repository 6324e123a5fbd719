#include "xlsx/part_text.h"

#include <cstring>

#include "xlsx/zip_package.h"

namespace kelvora::host::xlsx {
namespace {

// Comments and processing instructions are nodes too, so that no markup
// lies between a node's end and its next sibling's start.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_ws_pcdata |
                                   pugi::parse_declaration | pugi::parse_comments | pugi::parse_pi;

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

PartText::PartText(std::string text, std::string part)
    : text_(std::move(text)), part_(std::move(part)) {
  const pugi::xml_parse_result r = doc_.load_buffer(text_.data(), text_.size(), kParseOptions);
  if (!r) throw XlsxError("damaged workbook file (" + part_ + ": " + r.description() + ")");
  if (r.encoding != pugi::encoding_utf8) {
    throw XlsxError("cannot edit " + part_ + ": it is not written in UTF-8");
  }
  if (!root()) throw XlsxError("damaged workbook file (" + part_ + " is empty)");
}

void PartText::Fail() const {
  throw XlsxError("cannot edit " + part_ + ": its text and its elements do not agree");
}

size_t PartText::StartOf(pugi::xml_node node) const {
  const ptrdiff_t offset = node.offset_debug();
  if (offset < 0 || static_cast<size_t>(offset) > text_.size()) Fail();
  const auto at = static_cast<size_t>(offset);
  // offset_debug gives where the node's name or value begins.
  auto before = [&](std::string_view opener) {
    if (at < opener.size() || text_.compare(at - opener.size(), opener.size(), opener) != 0) Fail();
    return at - opener.size();
  };
  switch (node.type()) {
    case pugi::node_element:
      if (text_.compare(at, std::strlen(node.name()), node.name()) != 0) Fail();
      return before("<");
    case pugi::node_pcdata:
      return at;
    case pugi::node_cdata:
      return before("<![CDATA[");
    case pugi::node_comment:
      return before("<!--");
    case pugi::node_pi:
    case pugi::node_declaration:
      return before("<?");
    default:
      Fail();
  }
}

size_t PartText::EndOf(pugi::xml_node node) const {
  if (pugi::xml_node next = node.next_sibling()) return StartOf(next);
  const pugi::xml_node parent = node.parent();
  if (parent.type() == pugi::node_document) return text_.size();
  return EndTagOf(parent);
}

StartTag PartText::TagOf(pugi::xml_node element) const {
  StartTag tag;
  tag.begin = StartOf(element);
  const size_t n = text_.size();
  size_t i = tag.begin + 1 + std::strlen(element.name());
  for (;;) {
    while (i < n && IsSpace(text_[i])) ++i;
    if (i >= n) Fail();
    if (text_[i] == '>') {
      tag.close = i;
      tag.end = i + 1;
      return tag;
    }
    if (text_[i] == '/') {
      if (i + 1 >= n || text_[i + 1] != '>') Fail();
      tag.close = i;
      tag.end = i + 2;
      tag.empty = true;
      return tag;
    }
    const size_t name_begin = i;
    while (i < n && !IsSpace(text_[i]) && text_[i] != '=' && text_[i] != '>' && text_[i] != '/')
      ++i;
    if (i == name_begin) Fail();
    const std::string_view name(text_.data() + name_begin, i - name_begin);
    while (i < n && IsSpace(text_[i])) ++i;
    if (i >= n || text_[i] != '=') Fail();
    ++i;
    while (i < n && IsSpace(text_[i])) ++i;
    if (i >= n || (text_[i] != '"' && text_[i] != '\'')) Fail();
    const size_t value_begin = i + 1;
    const size_t value_end = text_.find(text_[i], value_begin);
    if (value_end == std::string::npos) Fail();
    tag.attributes.push_back({name, value_begin, value_end});
    i = value_end + 1;
  }
}

size_t PartText::EndTagOf(pugi::xml_node element) const {
  const StartTag tag = TagOf(element);
  if (tag.empty) Fail();
  const size_t end = EndOf(element);
  const size_t at = end == 0 ? std::string::npos : text_.rfind("</", end - 1);
  if (at == std::string::npos || at < tag.end ||
      text_.compare(at + 2, std::strlen(element.name()), element.name()) != 0)
    Fail();
  return at;
}

std::string PartText::Spliced(size_t pos, size_t length, std::string_view with) const {
  std::string out;
  out.reserve(text_.size() - length + with.size());
  out.append(text_, 0, pos).append(with).append(text_, pos + length);
  return out;
}

}  // namespace kelvora::host::xlsx
