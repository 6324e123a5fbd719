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
//
// A part can also be cut as it is read (inflated), so that no more than a
// few pieces of its text are held at once; its skeleton is then known in
// full only once the last piece has been taken.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <thread>

namespace kelvora::host::xlsx {

class SheetChunks {
 public:
  // About this many bytes of the cell table per piece: a parsed piece
  // takes several times its size, and two are held at once (one read, one
  // parsed ahead), so pieces are kept small; each costs one hand-over.
  static constexpr size_t kPieceBytes = size_t{128} << 10;

  // Cuts the part's text `xml`, which must outlive the result. Nothing when
  // the text is not plain enough to cut: not UTF-8, a document type
  // declaration, markup other than elements and text inside the cell table,
  // or no cell table (<sheetData>) among the root's children.
  // Pieces are about `piece_bytes` long (tests and fuzzing cut smaller).
  static std::optional<SheetChunks> Cut(std::string_view xml, size_t piece_bytes = kPieceBytes);

  // Gives up to `n` bytes of a part's text, the next ones, into `out` and
  // returns how many; 0 at the end. Throws XlsxError when the text cannot
  // be read.
  using Source = std::function<size_t(char* out, size_t n)>;

  // Cuts the text `source` gives, taking it as the pieces are asked for:
  // reads up to the cell table's start tag. Nothing when the text read so
  // far is not plain enough to cut (as Cut judges it); the caller then
  // reads the part whole, anew. The checks Cut makes on the whole cell
  // table are made here on each piece: a piece with markup other than
  // elements and text, or a table without an end tag, is refused as a
  // piece that does not parse is. What `source` throws passes through.
  static std::optional<SheetChunks> Stream(Source source, size_t piece_bytes = kPieceBytes);

  // The part's text without the content of its cell table. For a streamed
  // part, until its last piece has been taken, the text before the table's
  // content followed by end tags for the table and the root: what comes
  // after the table is not known yet.
  std::string Skeleton() const;

  // Parses the next piece of the cell table into `doc` (a fragment: rows
  // and the text between them, in document order) and returns true; false
  // when no piece is left. Throws XlsxError naming `part` when the piece is
  // not well-formed.
  bool Next(pugi::xml_document& doc, const std::string& part);

 private:
  SheetChunks(std::string_view xml, size_t open, size_t close, std::string row_end,
              size_t piece_bytes)
      : xml_(xml),
        open_(open),
        close_(close),
        at_(open),
        row_end_(std::move(row_end)),
        piece_bytes_(piece_bytes) {}
  explicit SheetChunks(size_t piece_bytes) : piece_bytes_(piece_bytes) {}

  // Appends the next bytes of a streamed part to buf_; false at its end.
  bool Fill();
  bool NextStreamed(pugi::xml_document& doc, const std::string& part);

  std::string_view xml_;
  size_t open_ = 0;      // just past the cell table's start tag
  size_t close_ = 0;     // at its end tag (== open_ for an empty-element tag)
  size_t at_ = 0;        // start of the next piece (streamed: in buf_)
  std::string row_end_;  // "</row>" with the table's prefix
  size_t piece_bytes_;

  // A streamed part. buf_ holds its text from the next piece on, as far as
  // read; head_ the text up to the table's content, tail_ the text from the
  // table's end tag on (once read), closing_ the end tags standing for it.
  Source source_;
  std::string buf_, head_, tail_, closing_, table_end_;
  bool source_ended_ = false;
  bool ended_ = false;  // the last piece has been taken
};

// The pieces of a SheetChunks, each parsed on a thread of the parser's own
// while the caller reads the one before it: parsing and reading, about equal
// in cost, overlap on two cores. One thread serves every piece, and no more
// than two pieces are held at once.
class PieceParser {
 public:
  // `chunks` and `part` must outlive this; nothing else may take pieces
  // from `chunks` meanwhile.
  PieceParser(SheetChunks& chunks, const std::string& part);
  // Waits for the piece being parsed, if any.
  ~PieceParser();
  PieceParser(const PieceParser&) = delete;
  PieceParser& operator=(const PieceParser&) = delete;

  // The next piece, which stays valid (and the caller's to edit) until the
  // next call; null when none is left. Throws XlsxError as
  // SheetChunks::Next does; no piece follows then.
  pugi::xml_document* Next();

 private:
  // The next piece parsed, or null at the end.
  std::unique_ptr<pugi::xml_document> Parse();
  // The parsing thread: a piece each time the one before has been taken.
  void Work();

  SheetChunks& chunks_;
  const std::string& part_;
  std::unique_ptr<pugi::xml_document> current_;
  // Handed from the thread to the caller under mutex_: the piece parsed
  // ahead (null at the end) or what its parse threw, once `full_` is set.
  std::mutex mutex_;
  std::condition_variable changed_;
  std::unique_ptr<pugi::xml_document> ahead_;
  std::exception_ptr failure_;
  bool full_ = false;
  bool stop_ = false;
  bool finished_ = false;  // the end or a failure has been taken
  // Without a thread to be had, each piece is parsed when it is asked for.
  std::thread worker_;
};

// The reading of a cut part, shared by the reader and the rewriter. First
// the skeleton, parsed into `doc`: false when it does not parse or has no
// cell table. Then the pieces: `rows` is called with the first node of each
// piece of the cell table in order, each piece parsed ahead while the one
// before is read; false, after the pieces before it, when a piece does not
// parse. On false the caller reads the part whole. What `rows` throws
// passes through.
bool ParseSkeleton(const SheetChunks& chunks, pugi::xml_document& doc, const std::string& part);
bool ReadPieces(SheetChunks& chunks, const std::string& part,
                const std::function<void(pugi::xml_node)>& rows);

}  // namespace kelvora::host::xlsx
