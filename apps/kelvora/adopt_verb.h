// `kelvora adopt BOOK [--main TAB --paste TAB --settings TAB] [--yes]`: gives
// a workbook the shape every other command needs (adopt/adopt.h), and
// the advice that the other commands print when a workbook lacks it.
#pragma once

#include <string>

#include "book/workbook_shape.h"

namespace kelvora::tool {

struct AdoptArgs {
  std::string book;  // BOOK; empty: -w, else the default book
  std::string main, paste, settings;
  bool yes = false;  // take the first three worksheets without asking
};

// Reads the book, adopts it and writes it back atomically when something
// changed. Prints what changes before writing it; when the sheets were taken
// by their position, asks first (--yes answers; without a terminal the
// answer is No). Returns kExitOk when the book was adopted or had its shape
// already; kExitUsage when the tabs given do not fit the book; kExitFailed
// when it was not written (unreadable, refused, answered No, changed by
// another program meanwhile, not writable); the file is then unchanged.
int RunAdopt(const std::string& path, const AdoptArgs& args);

// How to mend `problem` of the workbook at `path`: the `kelvora adopt`
// command line to run, or what to correct in a spreadsheet program.
std::string HowToMend(const book::ShapeProblem& problem, const std::string& path);

}  // namespace kelvora::tool
