// Reading clipboard HTML (a whole page, or the Windows clipboard format with
// its "Version:0.9 StartHTML:..." header and StartFragment/EndFragment
// markers) into its visible text, laid out as blocks and table rows. The HTML
// paste of the in-memory workbook (html_paste.cc) turns this into a grid of
// cells; HtmlToClipboardText turns it into the plain text a browser copies.
//
// What counts as text:
// - text nodes of the page body, with entities decoded; the contents of
//   script, style, template, noscript, title, select, textarea, iframe and
//   object elements are not text;
// - whitespace (space, tab, CR, LF, form feed and the no-break space U+00A0)
//   collapses to one space, and every block line and cell line is trimmed;
// - outside tables, block elements (p, div, h1-h6, li, headings, sections,
//   ...) and <br> end the current line: each non-empty line is one block,
//   empty lines are dropped; a table caption is a block of its own;
// - a table cell (td or th) keeps its <br> line breaks as separate lines
//   (trailing empty lines dropped); block elements and nested tables inside a
//   cell only separate words: a nested table's cells and rows become part of
//   the outer cell's text, separated by single spaces;
// - rows of a table keep their source order; thead, tbody and tfoot each form
//   a row group (a rowspan never reaches past its group).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvora::html {

// The browser limits on spans: larger values are clamped to these.
inline constexpr int32_t kMaxColspan = 1000;
inline constexpr int32_t kMaxRowspan = 65534;

struct HtmlCellLine {
  std::string text;  // UTF-8, whitespace collapsed and trimmed
  // The <br> before this line asked to stay in the same cell
  // (style="mso-data-placement:same-cell" on the br itself).
  bool same_cell_break = false;
};

struct HtmlCell {
  std::vector<HtmlCellLine> lines;  // at least one
  int32_t colspan = 1;              // 1 to kMaxColspan
  int32_t rowspan = 1;              // 0 (to the end of its row group) to kMaxRowspan
  // The cell, its row, its row group or its table carries the Text number
  // format (mso-number-format:"\@" in its style attribute).
  bool as_text = false;
};

struct HtmlTableRow {
  std::vector<HtmlCell> cells;
  int32_t group = 0;  // rows of one thead/tbody/tfoot share a group number
};

// One block line outside tables, or one table.
struct HtmlPiece {
  bool is_table = false;
  std::string text;                // block line (UTF-8, non-empty) when !is_table
  std::vector<HtmlTableRow> rows;  // when is_table
};

struct HtmlDocument {
  std::vector<HtmlPiece> pieces;
  // A style sheet of the page asks every <br> to stay in its cell
  // (mso-data-placement:same-cell).
  bool br_same_cell = false;
};

// The HTML part of clipboard data: with a "Version:" header, the bytes from
// StartHTML to EndHTML (or StartFragment to EndFragment when StartHTML is
// missing or -1, or from the first "<" when the offsets are unusable);
// otherwise the data unchanged.
std::string_view ClipboardHtmlBody(std::string_view clipboard);

// Parses clipboard HTML (libgumbo) into blocks and tables. Never fails: any
// byte sequence gives a document, possibly without pieces.
HtmlDocument ReadClipboardHtml(std::string_view html);

// The text a browser copies from the page: blocks and table rows each on a
// line of their own, cells of a row separated by tabs, a <br> inside a cell
// a line break; lines separated by CR LF, no line break at the end.
std::u16string HtmlToClipboardText(std::string_view html);

// Collapses whitespace runs (ASCII whitespace and U+00A0) of UTF-8 text to
// one space and trims both ends.
std::string CollapseWhitespace(std::string_view utf8);

}  // namespace kelvora::html
