// Fuzzes the cutting of a worksheet part into pieces: any text either is not
// cut, or its pieces (cut small here) hold the same elements of the cell
// table as the whole document, unless one of them is refused (the reader
// then parses the part whole); the skeleton is the text without the table.
// Text between the rows is not compared: neither the reader nor the
// rewriter looks at it (a piece's parse drops a byte order mark at its
// start, where the whole document keeps it as text).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "xlsx/part_xml.h"
#include "xlsx/sheet_chunks.h"
#include "xlsx/zip_package.h"

using namespace kelvora::host::xlsx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string xml(reinterpret_cast<const char*>(data), size);
  auto chunks = SheetChunks::Cut(xml, 16);
  if (!chunks) return 0;
  if (chunks->Skeleton().size() > xml.size()) std::abort();
  std::string pieces;
  try {
    pugi::xml_document piece;
    while (chunks->Next(piece, "sheet")) {
      for (pugi::xml_node n = piece.first_child(); n; n = n.next_sibling())
        if (n.type() == pugi::node_element) AppendNode(pieces, n);
    }
  } catch (const XlsxError&) {
    return 0;  // refused: the part is read whole
  }
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
  if (pieces != table) std::abort();
  return 0;
}
