// The XML parts of a workbook package as documents: parsing a part, finding
// elements and attributes by local name (files may give the main namespace a
// prefix), printing an edited document, and the relationships that tie the
// parts together. A part the back end carries over with an edit (styles,
// relationships, content types, the workbook's calcPr, a kept cell) is
// edited as a document and printed back; the XML it writes itself is
// appended as text (Append in xlsx_text.h).
#pragma once

#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "xlsx/zip_package.h"

namespace kelvora::host::xlsx {

inline constexpr char kMainNs[] = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline constexpr char kRelNs[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr char kCalcChainType[] =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/calcChain";

// "x:row" -> "row"; "row" -> "row".
std::string_view LocalName(const char* name);
// "x:row" -> "x:"; "row" -> "".
std::string PrefixOf(const char* name);
// The first child element of `parent` with this local name, or a null node.
pugi::xml_node Child(pugi::xml_node parent, std::string_view local);
// The prefixed attribute with this local name ("r:id" for "id"); namespace
// declarations do not count. A null attribute when there is none.
pugi::xml_attribute PrefixedAttribute(pugi::xml_node node, std::string_view local);

// What the reader and the rewriter look at in a cell element (<c>), found
// in one pass over it: its first r, s and t attributes and its first v, f
// and is child elements (by local name); null where it has none. The same
// as asking for each with attribute() and Child().
struct CellElement {
  pugi::xml_attribute r, s, t;
  pugi::xml_node v, f, is;
};
CellElement ReadCellElement(pugi::xml_node c);

// Parses `bytes` of the part `part` into `doc`, keeping whitespace-only text
// and the declaration so that printing gives the part back. Throws XlsxError
// naming the part when it is not well-formed or has no root element.
void ParseXml(pugi::xml_document& doc, const std::string& bytes, const std::string& part);
// Parses `bytes` of the part `part` as a fragment (any number of elements
// and text in a row, possibly none), with the same options. Throws
// XlsxError naming the part when it is not well-formed.
void ParseFragment(pugi::xml_document& doc, std::string_view bytes, const std::string& part);
// `doc` read from `package`'s entry `part` the same way.
void ParsePart(pugi::xml_document& doc, const ZipPackage& package, const std::string& part);
// The node, appended to `out`, or the document as UTF-8 text, unindented; a
// document keeps its declaration when it had one.
void AppendNode(std::string& out, const pugi::xml_node& node);
std::string PrintDocument(const pugi::xml_document& doc);

// The part a relationship target names: "xl/workbook.xml" with
// "worksheets/sheet1.xml" -> "xl/worksheets/sheet1.xml"; "../" climbs;
// absolute targets start at the package root.
std::string ResolveTarget(const std::string& source_part, const std::string& target);
// The relationships part of `part`: "xl/workbook.xml" ->
// "xl/_rels/workbook.xml.rels"; "" -> "_rels/.rels".
std::string RelsPathOf(const std::string& part);
bool TypeEndsWith(const std::string& type, std::string_view suffix);

struct Relationship {
  std::string id, type;
  std::string target;  // a part name, or the target as written when external
  bool external = false;
};
// The relationships of `part` in document order; none when it has no
// relationships part. Throws XlsxError when that part is damaged.
std::vector<Relationship> ReadRelationships(const ZipPackage& package, const std::string& part);

}  // namespace kelvora::host::xlsx
