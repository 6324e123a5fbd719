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

}  // namespace

std::optional<SheetChunks> SheetChunks::Cut(std::string_view xml, size_t piece_bytes) {
  size_t at = xml.starts_with("\xEF\xBB\xBF") ? 3 : 0;
  int depth = 0;
  while ((at = xml.find('<', at)) != std::string_view::npos) {
    Markup kind;
    const size_t end = MarkupEnd(xml, at, &kind);
    if (end == std::string_view::npos) return std::nullopt;
    if (kind == Markup::kOther && xml.substr(at).starts_with("<?xml") &&
        !IsPlainUtf8Declaration(xml.substr(at, end - at)))
      return std::nullopt;
    // The first element is the root; an empty one holds no cell table.
    if (kind == Markup::kEmpty && depth == 0) return std::nullopt;
    if (kind == Markup::kStart || kind == Markup::kEmpty) {
      const std::string_view name = TagName(xml, at);
      if (depth == 1 && LocalName(std::string(name).c_str()) == "sheetData") {
        const std::string prefix = PrefixOf(std::string(name).c_str());
        if (kind == Markup::kEmpty) return SheetChunks(xml, end, end, "", piece_bytes);
        // The table's end tag is taken to be the part's last one, which is
        // found without reading the table. Were an earlier one the table's
        // end, the piece holding it would not parse.
        const size_t close = xml.rfind("</" + prefix + "sheetData>");
        if (close == std::string_view::npos || close < end) return std::nullopt;
        const std::string_view table = xml.substr(end, close - end);
        if (HasOtherMarkup(table)) return std::nullopt;
        return SheetChunks(xml, end, close, "</" + prefix + "row>", piece_bytes);
      }
      if (kind == Markup::kStart) ++depth;
    } else if (kind == Markup::kEnd) {
      if (--depth <= 0) return std::nullopt;
    }
    at = end;
  }
  return std::nullopt;
}

std::string SheetChunks::Skeleton() const {
  std::string s;
  s.reserve(xml_.size() - (close_ - open_));
  s.append(xml_.substr(0, open_));
  s.append(xml_.substr(close_));
  return s;
}

bool SheetChunks::Next(pugi::xml_document& doc, const std::string& part) {
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

PieceParser::PieceParser(SheetChunks& chunks, const std::string& part)
    : chunks_(chunks), part_(part) {
  ParseAhead();
}

PieceParser::~PieceParser() {
  if (ahead_.valid()) ahead_.wait();
}

void PieceParser::ParseAhead() {
  auto parse = [this]() -> std::unique_ptr<pugi::xml_document> {
    auto doc = std::make_unique<pugi::xml_document>();
    if (!chunks_.Next(*doc, part_)) return nullptr;
    return doc;
  };
  try {
    ahead_ = std::async(std::launch::async, parse);
  } catch (const std::system_error&) {
    // No thread to be had: the piece is parsed when it is asked for.
    ahead_ = std::async(std::launch::deferred, parse);
  }
}

pugi::xml_document* PieceParser::Next() {
  if (!ahead_.valid()) return nullptr;
  current_ = ahead_.get();
  if (current_ == nullptr) return nullptr;
  ParseAhead();
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
