#include "xlsx/part_xml.h"

namespace kelvora::host::xlsx {
namespace {

constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_declaration;
constexpr unsigned kPrintOptions = pugi::format_raw | pugi::format_no_declaration;

struct AppendingWriter : pugi::xml_writer {
  std::string& out;
  explicit AppendingWriter(std::string& o) : out(o) {}
  void write(const void* data, size_t size) override {
    out.append(static_cast<const char*>(data), size);
  }
};

}  // namespace

std::string_view LocalName(const char* name) {
  std::string_view n(name);
  const size_t colon = n.find(':');
  return colon == std::string_view::npos ? n : n.substr(colon + 1);
}

std::string PrefixOf(const char* name) {
  std::string_view n(name);
  const size_t colon = n.find(':');
  return colon == std::string_view::npos ? std::string() : std::string(n.substr(0, colon + 1));
}

pugi::xml_node Child(pugi::xml_node parent, std::string_view local) {
  for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_element && LocalName(n.name()) == local) return n;
  return {};
}

pugi::xml_attribute PrefixedAttribute(pugi::xml_node node, std::string_view local) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    std::string_view n(a.name());
    const size_t colon = n.find(':');
    if (colon != std::string_view::npos && n.substr(colon + 1) == local &&
        n.substr(0, colon) != "xmlns")
      return a;
  }
  return {};
}

CellElement ReadCellElement(pugi::xml_node c) {
  CellElement e;
  for (pugi::xml_attribute a = c.first_attribute(); a; a = a.next_attribute()) {
    const char* n = a.name();
    if (n[0] == 0 || n[1] != 0) continue;
    pugi::xml_attribute* slot = n[0] == 'r'   ? &e.r
                                : n[0] == 's' ? &e.s
                                : n[0] == 't' ? &e.t
                                              : nullptr;
    if (slot != nullptr && !*slot) *slot = a;
  }
  for (pugi::xml_node n = c.first_child(); n; n = n.next_sibling()) {
    if (n.type() != pugi::node_element) continue;
    const std::string_view local = LocalName(n.name());
    pugi::xml_node* slot = local == "v"    ? &e.v
                           : local == "f"  ? &e.f
                           : local == "is" ? &e.is
                                           : nullptr;
    if (slot != nullptr && !*slot) *slot = n;
  }
  return e;
}

void ParseXml(pugi::xml_document& doc, const std::string& bytes, const std::string& part) {
  const pugi::xml_parse_result r = doc.load_buffer(bytes.data(), bytes.size(), kParseOptions);
  if (!r) {
    throw XlsxError("damaged workbook file (" + part + ": " + r.description() + ")");
  }
  if (!doc.document_element()) throw XlsxError("damaged workbook file (" + part + " is empty)");
}

void ParseFragment(pugi::xml_document& doc, std::string_view bytes, const std::string& part) {
  const pugi::xml_parse_result r = doc.load_buffer(
      bytes.data(), bytes.size(), kParseOptions | pugi::parse_fragment, pugi::encoding_utf8);
  if (!r) throw XlsxError("damaged workbook file (" + part + ": " + r.description() + ")");
}

void ParsePart(pugi::xml_document& doc, const ZipPackage& package, const std::string& part) {
  ParseXml(doc, package.Read(part), part);
}

void AppendNode(std::string& out, const pugi::xml_node& node) {
  AppendingWriter w(out);
  node.print(w, "", kPrintOptions, pugi::encoding_utf8);
}

std::string PrintDocument(const pugi::xml_document& doc) {
  std::string out;
  AppendingWriter w(out);
  doc.save(w, "", kPrintOptions, pugi::encoding_utf8);
  return out;
}

std::string ResolveTarget(const std::string& source_part, const std::string& target) {
  if (!target.empty() && target[0] == '/') return target.substr(1);
  std::string base = source_part.substr(0, source_part.rfind('/') + 1);
  std::string t = target;
  while (t.rfind("../", 0) == 0) {
    t = t.substr(3);
    if (!base.empty()) base.pop_back();
    base = base.substr(0, base.rfind('/') + 1);
  }
  if (t.rfind("./", 0) == 0) t = t.substr(2);
  return base + t;
}

std::string RelsPathOf(const std::string& part) {
  const size_t slash = part.rfind('/');
  const std::string dir = slash == std::string::npos ? "" : part.substr(0, slash + 1);
  const std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
  return dir + "_rels/" + file + ".rels";
}

bool TypeEndsWith(const std::string& type, std::string_view suffix) {
  return type.size() >= suffix.size() &&
         std::string_view(type).substr(type.size() - suffix.size()) == suffix;
}

std::vector<Relationship> ReadRelationships(const ZipPackage& package, const std::string& part) {
  std::vector<Relationship> rels;
  const auto name = package.Find(RelsPathOf(part));
  if (!name) return rels;
  pugi::xml_document doc;
  ParsePart(doc, package, *name);
  for (pugi::xml_node n = doc.document_element().first_child(); n; n = n.next_sibling()) {
    if (LocalName(n.name()) != "Relationship") continue;
    Relationship r;
    r.id = n.attribute("Id").value();
    r.type = n.attribute("Type").value();
    r.external = std::string_view(n.attribute("TargetMode").value()) == "External";
    r.target = r.external ? n.attribute("Target").value()
                          : ResolveTarget(part, n.attribute("Target").value());
    rels.push_back(std::move(r));
  }
  return rels;
}

}  // namespace kelvora::host::xlsx
