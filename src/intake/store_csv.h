// The result store as CSV (RFC 4180), for other programs to read and for the
// store to be taken back: a header line "draw,result", then one line per
// draw in the store's order, newest first, each field as the store holds it
// (a result is text, with its leading zeros where the store has them; a
// number is written in its plain text form). Lines end in LF.
//
// Reading takes that CSV back as new rows for MergeDraws, with the row check
// of the intakes (draw_check.h): one row that fails refuses the whole file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/value.h"

namespace kelvora::intake {

// The CSV of a draw block (column 1 the draw number, column 2 the result;
// row 1 the newest), header first. An error value is written as "#ERROR".
std::string StoreCsv(const host::Table& block);

// Why a CSV file cannot be taken in.
struct StoreCsvProblem {
  enum class Kind {
    kEncoding,  // neither UTF-8 nor UTF-16 with a byte-order mark
    kQuote,     // a quoted field that does not end, or text after its closing quote
    kFields,    // a record of other than two fields
    kDraw,      // the draw number is not a whole number above 0
    kResult,    // the result is not exactly five digits
    kConflict,  // a draw given earlier in the file with another result
    kTooMany,   // more distinct draws than the store can hold
  };
  Kind kind = Kind::kEncoding;
  int64_t line = 0;          // the line (1 first) where the record begins
  std::string record;        // the record as the file has it, UTF-8, without its line end
  int64_t earlier_line = 0;  // kConflict: the line that gave the draw first
};

struct StoreCsvRows {
  // Column 1 the draw number (a number), column 2 the result (text), in the
  // file's order; a draw the file repeats with the same result is taken once.
  host::Table rows;
  std::optional<StoreCsvProblem> problem;  // when set, `rows` is empty
};

// Reads a CSV file's bytes: UTF-8 with or without a byte-order mark, or
// UTF-16 with one; records end in CR LF, LF or CR; quoted fields may hold
// commas, quotes (doubled) and line ends. Blank lines are skipped, and so is
// a first record "draw,result" (in any letter case).
StoreCsvRows ReadStoreCsv(std::string_view bytes);

}  // namespace kelvora::intake
