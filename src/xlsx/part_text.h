// An XML part edited as text: the part's bytes kept as they are, its parsed
// tree used to find where an element, its start tag, an attribute's value or
// its end tag lies in them. An edit splices one span of the text, so that
// everything around it (declaration, namespaces, quoting, whitespace,
// comments) stays byte for byte. Used where a part must change by one
// attribute or element and the rest of it must not be printed anew.
#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora::host::xlsx {

// A start tag ("<a x='1'>" or "<a/>") as positions in the part's text.
struct StartTag {
  struct Attribute {
    std::string_view name;          // as written, prefix included
    size_t value_begin, value_end;  // between the quotes
  };
  size_t begin = 0;  // the '<'
  size_t close = 0;  // the "/>" of an empty element, else the '>'
  size_t end = 0;    // just past the '>'
  bool empty = false;
  std::vector<Attribute> attributes;
};

class PartText {
 public:
  // Parses `text`, the UTF-8 text of the part named `part`. Throws XlsxError
  // naming the part when it is not well-formed XML in UTF-8 or has no root
  // element.
  PartText(std::string text, std::string part);
  PartText(const PartText&) = delete;
  PartText& operator=(const PartText&) = delete;

  const std::string& text() const { return text_; }
  pugi::xml_node root() const { return doc_.document_element(); }

  // Where the markup of a node of this part's tree begins: the '<' of an
  // element, comment, CDATA section or processing instruction, the first
  // character of a text.
  size_t StartOf(pugi::xml_node node) const;
  // Where the markup of a node ends: where its next sibling begins, else
  // where its parent's end tag begins (the end of the text for the root).
  size_t EndOf(pugi::xml_node node) const;
  StartTag TagOf(pugi::xml_node element) const;
  // The "</" of the end tag of an element that is not empty.
  size_t EndTagOf(pugi::xml_node element) const;

  // The text with [pos, pos + length) replaced by `with`.
  std::string Spliced(size_t pos, size_t length, std::string_view with) const;

  // The positions above throw XlsxError naming the part when the tree and
  // the text do not agree (which a parse of the same text never gives).

 private:
  [[noreturn]] void Fail() const;

  std::string text_;
  std::string part_;
  pugi::xml_document doc_;
};

}  // namespace kelvora::host::xlsx
