// Fuzzes the cutting of a worksheet part into pieces, from the whole text
// and as the text is read a few bytes at a time: any text either is not
// cut, or its pieces (cut small here) hold the same elements of the cell
// table as the whole document, unless one of them is refused (the reader
// then parses the part whole); the skeleton is the text without the table,
// the same both ways. Text between the rows is not compared: neither the
// reader nor the rewriter looks at it (a piece's parse drops a byte order
// mark at its start, where the whole document keeps it as text).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "xlsx/part_xml.h"
#include "xlsx/sheet_chunks.h"
#include "xlsx/zip_package.h"

using namespace kelvora::host::xlsx;

namespace {

// The table's elements as the pieces hold them and the skeleton; nothing
// when the text is not cut or a piece is refused.
std::optional<std::pair<std::string, std::string>> Pieces(std::optional<SheetChunks> chunks,
                                                          const std::string& xml) {
  if (!chunks) return std::nullopt;
  std::string pieces;
  try {
    pugi::xml_document piece;
    while (chunks->Next(piece, "sheet")) {
      for (pugi::xml_node n = piece.first_child(); n; n = n.next_sibling())
        if (n.type() == pugi::node_element) AppendNode(pieces, n);
    }
  } catch (const XlsxError&) {
    return std::nullopt;  // refused: the part is read whole
  }
  std::string skeleton = chunks->Skeleton();
  if (skeleton.size() > xml.size()) std::abort();
  return std::make_pair(std::move(pieces), std::move(skeleton));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string xml(reinterpret_cast<const char*>(data), size);
  const auto whole_cut = Pieces(SheetChunks::Cut(xml, 16), xml);
  // Read in steps of 1 to 8 bytes, as the text's own bytes say.
  size_t at = 0, turn = 0;
  auto source = [&](char* out, size_t n) {
    n = std::min({n, size_t{1} + (size ? data[turn++ % size] % 8 : 0), xml.size() - at});
    xml.copy(out, n, at);
    at += n;
    return n;
  };
  const auto streamed = Pieces(SheetChunks::Stream(source, 16), xml);
  if (whole_cut && streamed && whole_cut->second != streamed->second) std::abort();
  if (!whole_cut && !streamed) return 0;
  pugi::xml_document whole;
  try {
    ParseXml(whole, xml, "sheet");
  } catch (const XlsxError&) {
    return 0;  // the skeleton around the table is damaged: the skeleton's parse refuses it
  }
  std::string table;
  for (pugi::xml_node n = Child(whole.document_element(), "sheetData").first_child(); n;
       n = n.next_sibling())
    if (n.type() == pugi::node_element) AppendNode(table, n);
  for (const auto& cut : {whole_cut, streamed})
    if (cut && cut->first != table) std::abort();
  return 0;
}
