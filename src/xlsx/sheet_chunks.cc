#include "xlsx/sheet_chunks.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <system_error>

#include "xlsx/part_xml.h"

namespace kelvora::host::xlsx {
namespace {

enum class Markup { kStart, kEnd, kEmpty, kOther };

// xml.find(what, from), skipping ahead by the length of `what` where it
// can: the standard find stops at every '<' of a tag-heavy text.
size_t Find(std::string_view xml, std::string_view what, size_t from) {
  if (from > xml.size()) return std::string_view::npos;
  const auto at = std::search(xml.begin() + static_cast<ptrdiff_t>(from), xml.end(),
                              std::boyer_moore_horspool_searcher(what.begin(), what.end()));
  return at == xml.end() ? std::string_view::npos : static_cast<size_t>(at - xml.begin());
}

// True when `text` holds markup other than elements: "<!" (comments, CDATA,
// declarations) or "<?" (processing instructions). '!' and '?' are rare in
// cell tables, so they are searched for rather than every '<'.
bool HasOtherMarkup(std::string_view text) {
  for (const char mark : {'!', '?'}) {
    const char* p = text.data();
    const char* end = text.data() + text.size();
    while ((p = static_cast<const char*>(std::memchr(p, mark, static_cast<size_t>(end - p)))) !=
           nullptr) {
      if (p > text.data() && p[-1] == '<') return true;
      ++p;
    }
  }
  return false;
}

// The end of the markup that starts at xml[at] == '<' and its kind; npos
// when it is unterminated or a document type declaration.
size_t MarkupEnd(std::string_view xml, size_t at, Markup* kind) {
  auto skip_to = [&](size_t from, std::string_view end) {
    const size_t e = xml.find(end, from);
    return e == std::string_view::npos ? e : e + end.size();
  };
  *kind = Markup::kOther;
  const std::string_view rest = xml.substr(at);
  if (rest.starts_with("<!--")) return skip_to(at + 4, "-->");
  if (rest.starts_with("<![CDATA[")) return skip_to(at + 9, "]]>");
  if (rest.starts_with("<?")) return skip_to(at + 2, "?>");
  if (rest.starts_with("<!")) return std::string_view::npos;
  for (size_t i = at + 1; i < xml.size(); ++i) {
    const char c = xml[i];
    if (c == '"' || c == '\'') {
      i = xml.find(c, i + 1);
      if (i == std::string_view::npos) return i;
    } else if (c == '>') {
      *kind = xml[at + 1] == '/'  ? Markup::kEnd
              : xml[i - 1] == '/' ? Markup::kEmpty
                                  : Markup::kStart;
      return i + 1;
    }
  }
  return std::string_view::npos;
}

// The name of the tag that starts at xml[at] == '<'.
std::string_view TagName(std::string_view xml, size_t at) {
  size_t b = at + 1;
  if (b < xml.size() && xml[b] == '/') ++b;
  size_t e = b;
  while (e < xml.size() && !std::isspace(static_cast<unsigned char>(xml[e])) && xml[e] != '/' &&
         xml[e] != '>')
    ++e;
  return xml.substr(b, e - b);
}

// True when the declaration at the start of `xml` names no encoding or
// UTF-8.
bool DeclaresUtf8(std::string_view decl) {
  const size_t e = decl.find("encoding");
  if (e == std::string_view::npos) return true;
  const size_t q = decl.find_first_of("\"'", e);
  if (q == std::string_view::npos) return false;
  std::string name;
  for (size_t i = q + 1; i < decl.size() && decl[i] != decl[q]; ++i)
    name.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(decl[i]))));
  return name == "utf-8" || name == "utf8";
}

// True for a declaration that the whole document's parse reads as this cut
// does: UTF-8, and no '<', '>' or '/' inside, where the parser, which reads
// the declaration's attributes as a tag's, would end it early.
bool IsPlainUtf8Declaration(std::string_view decl) {
  return DeclaresUtf8(decl) &&
         decl.substr(2, decl.size() - 4).find_first_of("<>/") == std::string_view::npos;
}

// Where the scan of a part's text for its cell table stands.
struct HeadScan {
  size_t at = 0;     // the next markup is looked for from here
  int depth = 0;     // elements open
  std::string root;  // the root's tag name, once met
};

enum class Found { kTable, kNone, kMore };

// The cell table's start tag, found by scanning `xml` from `scan`: its end
// in `*open`, whether it is an empty-element tag in `*empty` and its prefix
// in `*prefix`. kNone when the text is not plain enough to cut; kMore when
// `xml`, not `complete`, ends before the table is found (the scan resumes
// where it stopped once more text is appended).
Found ScanHead(std::string_view xml, bool complete, HeadScan& scan, size_t* open, bool* empty,
               std::string* prefix) {
  const Found short_of_text = complete ? Found::kNone : Found::kMore;
  while ((scan.at = xml.find('<', scan.at)) != std::string_view::npos) {
    const size_t at = scan.at;
    Markup kind;
    const size_t end = MarkupEnd(xml, at, &kind);
    if (end == std::string_view::npos) return short_of_text;
    if (kind == Markup::kOther && xml.substr(at).starts_with("<?xml") &&
        !IsPlainUtf8Declaration(xml.substr(at, end - at)))
      return Found::kNone;
    // The first element is the root; an empty one holds no cell table.
    if (kind == Markup::kEmpty && scan.depth == 0) return Found::kNone;
    if (kind == Markup::kStart || kind == Markup::kEmpty) {
      const std::string_view name = TagName(xml, at);
      if (scan.depth == 0) scan.root = name;
      if (scan.depth == 1 && LocalName(std::string(name).c_str()) == "sheetData") {
        *prefix = PrefixOf(std::string(name).c_str());
        *open = end;
        *empty = kind == Markup::kEmpty;
        return Found::kTable;
      }
      if (kind == Markup::kStart) ++scan.depth;
    } else if (kind == Markup::kEnd) {
      if (--scan.depth <= 0) return Found::kNone;
    }
    scan.at = end;
  }
  scan.at = xml.size();
  return short_of_text;
}

}  // namespace

std::optional<SheetChunks> SheetChunks::Cut(std::string_view xml, size_t piece_bytes) {
  HeadScan scan;
  scan.at = xml.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  size_t end;
  bool empty;
  std::string prefix;
  if (ScanHead(xml, true, scan, &end, &empty, &prefix) != Found::kTable) return std::nullopt;
  if (empty) return SheetChunks(xml, end, end, "", piece_bytes);
  // The table's end tag is taken to be the part's last one, which is found
  // without reading the table. Were an earlier one the table's end, the
  // piece holding it would not parse.
  const size_t close = xml.rfind("</" + prefix + "sheetData>");
  if (close == std::string_view::npos || close < end) return std::nullopt;
  const std::string_view table = xml.substr(end, close - end);
  if (HasOtherMarkup(table)) return std::nullopt;
  return SheetChunks(xml, end, close, "</" + prefix + "row>", piece_bytes);
}

std::optional<SheetChunks> SheetChunks::Stream(Source source, size_t piece_bytes) {
  SheetChunks chunks(std::max<size_t>(piece_bytes, 1));
  chunks.source_ = std::move(source);
  HeadScan scan;
  size_t open;
  bool empty;
  std::string prefix;
  Found found;
  while ((found = ScanHead(chunks.buf_, chunks.source_ended_, scan, &open, &empty, &prefix)) ==
         Found::kMore)
    chunks.Fill();
  if (found != Found::kTable) return std::nullopt;
  chunks.head_ = chunks.buf_.substr(0, open);
  chunks.buf_.erase(0, open);
  if (empty) {
    // No table: what follows is the tail, read now.
    while (chunks.Fill()) {
    }
    chunks.tail_ = std::move(chunks.buf_);
    chunks.buf_.clear();
    chunks.ended_ = true;
    return chunks;
  }
  chunks.table_end_ = "</" + prefix + "sheetData>";
  chunks.closing_ = chunks.table_end_ + "</" + scan.root + ">";
  chunks.row_end_ = "</" + prefix + "row>";
  return chunks;
}

bool SheetChunks::Fill() {
  if (source_ended_) return false;
  const size_t old = buf_.size();
  buf_.resize(old + piece_bytes_);
  const size_t got = source_(buf_.data() + old, piece_bytes_);
  buf_.resize(old + got);
  source_ended_ = got == 0;
  return got != 0;
}

std::string SheetChunks::Skeleton() const {
  if (source_) return head_ + (ended_ ? tail_ : closing_);
  std::string s;
  s.reserve(xml_.size() - (close_ - open_));
  s.append(xml_.substr(0, open_));
  s.append(xml_.substr(close_));
  return s;
}

bool SheetChunks::Next(pugi::xml_document& doc, const std::string& part) {
  if (source_) return NextStreamed(doc, part);
  if (at_ >= close_) return false;
  size_t end = close_;
  if (close_ - at_ > piece_bytes_) {
    const size_t cut = Find(xml_, row_end_, at_ + piece_bytes_);
    if (cut < close_) end = cut + row_end_.size();
  }
  ParseFragment(doc, xml_.substr(at_, end - at_), part);
  at_ = end;
  return true;
}

bool SheetChunks::NextStreamed(pugi::xml_document& doc, const std::string& part) {
  if (ended_) return false;
  // The text taken is dropped; buf_'s room is kept for the next.
  buf_.erase(0, at_);
  at_ = 0;
  size_t end = std::string_view::npos, from = piece_bytes_;
  while (end == std::string_view::npos) {
    if (buf_.size() > from) {
      const size_t cut = Find(buf_, row_end_, from);
      if (cut != std::string_view::npos) {
        end = cut + row_end_.size();
        break;
      }
      from = std::max(from, buf_.size() - std::min(buf_.size(), row_end_.size() - 1));
    }
    if (!Fill()) {
      // The rest is the last piece, up to the part's last table end tag.
      const size_t close = buf_.rfind(table_end_);
      if (close == std::string::npos) {
        throw XlsxError("damaged workbook file (" + part + ": the cell table has no end)");
      }
      tail_ = buf_.substr(close);
      end = close;
      ended_ = true;
    }
  }
  const std::string_view piece(buf_.data(), end);
  at_ = end;
  if (HasOtherMarkup(piece)) {
    throw XlsxError("damaged workbook file (" + part +
                    ": markup other than elements in its cells)");
  }
  if (piece.empty()) return false;
  ParseFragment(doc, piece, part);
  return true;
}

PieceParser::PieceParser(SheetChunks& chunks, const std::string& part)
    : chunks_(chunks), part_(part) {
  try {
    worker_ = std::thread([this] { Work(); });
  } catch (const std::system_error&) {
    // No thread to be had: Next parses each piece itself.
  }
}

PieceParser::~PieceParser() {
  if (!worker_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

std::unique_ptr<pugi::xml_document> PieceParser::Parse() {
  auto doc = std::make_unique<pugi::xml_document>();
  if (!chunks_.Next(*doc, part_)) return nullptr;
  return doc;
}

void PieceParser::Work() {
  for (;;) {
    std::unique_ptr<pugi::xml_document> doc;
    std::exception_ptr failure;
    try {
      doc = Parse();
    } catch (...) {
      failure = std::current_exception();
    }
    const bool last = doc == nullptr;
    std::unique_lock<std::mutex> lock(mutex_);
    ahead_ = std::move(doc);
    failure_ = failure;
    full_ = true;
    changed_.notify_all();
    if (last) return;
    // The next piece is parsed once this one is taken.
    changed_.wait(lock, [this] { return stop_ || !full_; });
    if (stop_) return;
  }
}

pugi::xml_document* PieceParser::Next() {
  if (finished_) return nullptr;
  current_.reset();
  if (!worker_.joinable()) {
    try {
      current_ = Parse();
    } catch (...) {
      finished_ = true;
      throw;
    }
  } else {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return full_; });
    current_ = std::move(ahead_);
    const std::exception_ptr failure = failure_;
    full_ = false;
    lock.unlock();
    changed_.notify_all();
    if (failure) {
      finished_ = true;
      std::rethrow_exception(failure);
    }
  }
  if (current_ == nullptr) finished_ = true;
  return current_.get();
}

bool ParseSkeleton(const SheetChunks& chunks, pugi::xml_document& doc, const std::string& part) {
  try {
    ParseXml(doc, chunks.Skeleton(), part);
  } catch (const XlsxError&) {
    return false;
  }
  return static_cast<bool>(Child(doc.document_element(), "sheetData"));
}

bool ReadPieces(SheetChunks& chunks, const std::string& part,
                const std::function<void(pugi::xml_node)>& rows) {
  PieceParser pieces(chunks, part);
  for (;;) {
    pugi::xml_document* piece;
    try {
      piece = pieces.Next();
    } catch (const XlsxError&) {
      return false;
    }
    if (piece == nullptr) return true;
    rows(piece->first_child());
  }
}

}  // namespace kelvora::host::xlsx
