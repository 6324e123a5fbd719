// Reading a worksheet part piece by piece. Its cell table can hold nearly
// all of a workbook's bytes, and as one parsed document it takes many times
// its size in memory. SheetChunks cuts the part's text into its skeleton
// (the part with an empty cell table) and pieces of the cell table that
// hold whole rows, each parsed as a document fragment of its own.
//
// Cutting is only done where it is plainly safe: the cell table holds
// nothing but elements and text (no comments, CDATA sections or processing
// instructions, whose contents could look like tags), and each cut falls
// just after a row's end tag. A piece that does not parse means either a
// damaged part or a cut that the whole document would not have made
// (a row inside a row); the caller then parses the part whole, which gives
// the same result the whole-document reading always gave.
#pragma once

#include <cstddef>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace kelvora::host::xlsx {

class SheetChunks {
 public:
  // About this many bytes of the cell table per piece.
  static constexpr size_t kPieceBytes = size_t{1} << 20;

  // Cuts the part's text `xml`, which must outlive the result. Nothing when
  // the text is not plain enough to cut: not UTF-8, a document type
  // declaration, markup other than elements and text inside the cell table,
  // or no cell table (<sheetData>) among the root's children.
  static std::optional<SheetChunks> Cut(std::string_view xml);

  // The part's text without the content of its cell table.
  std::string Skeleton() const;

  // Parses the next piece of the cell table into `doc` (a fragment: rows
  // and the text between them, in document order) and returns true; false
  // when no piece is left. Throws XlsxError naming `part` when the piece is
  // not well-formed.
  bool Next(pugi::xml_document& doc, const std::string& part);

 private:
  SheetChunks(std::string_view xml, size_t open, size_t close, std::string row_end)
      : xml_(xml), open_(open), close_(close), at_(open), row_end_(std::move(row_end)) {}

  std::string_view xml_;
  size_t open_;          // just past the cell table's start tag
  size_t close_;         // at its end tag (== open_ for an empty-element tag)
  size_t at_;            // start of the next piece
  std::string row_end_;  // "</row>" with the table's prefix
};

}  // namespace kelvora::host::xlsx
