#include "completion_words.h"

#include <string>

#include "book/workbook_template.h"
#include "host/layout.h"
#include "text/utf.h"

namespace kelvora::tool {
namespace {

std::string CellName(layout::Cell cell) { return Utf16ToUtf8(layout::A1(cell)); }

void WriteOptions(const CLI::App& app, const std::string& owner, std::ostream& out) {
  std::string names = "options\t" + owner;
  std::string valued = "values\t" + owner;
  for (const CLI::Option* o : app.get_options()) {
    std::string mine;
    for (const std::string& s : o->get_snames()) mine += "\t-" + s;
    for (const std::string& l : o->get_lnames()) mine += "\t--" + l;
    names += mine;
    if (o->nonpositional() && o->get_expected_max() > 0) valued += mine;
  }
  out << names << '\n' << valued << '\n';
}

}  // namespace

void WriteCompletionWords(const CLI::App& app, std::ostream& out) {
  out << "verbs";
  for (const CLI::App* sub : app.get_subcommands({})) out << '\t' << sub->get_name();
  out << "\thelp\n";
  WriteOptions(app, "-", out);
  for (const CLI::App* sub : app.get_subcommands({})) WriteOptions(*sub, sub->get_name(), out);
  out << "cells";
  for (const layout::Cell cell : layout::kParameterCells) out << '\t' << CellName(cell);
  out << "\nkind-cells\t" << CellName(layout::kStage1.kind) << '\t'
      << CellName(layout::kStage2.kind) << "\nswitch-cells\t"
      << CellName(layout::kSecondStageSwitch) << "\nkinds";
  for (const char* name : kTemplateKindNames) out << '\t' << name;
  out << '\n';
}

}  // namespace kelvora::tool
