#include "entry/commands.h"

#include <cctype>

#include "analysis/main_analysis.h"
#include "entry/output_commands.h"
#include "intake/intake_commands.h"

namespace kelvora {

namespace {

template <int kIndex>
void Copy(host::Session& session) {
  entry::CopyOutput(session, kIndex);
}

constexpr layout::Block OutputBlock(int index) {
  return {layout::OutputCell(index), layout::OutputCell(index)};
}

}  // namespace

const std::array<Command, 11> kCommands = {{
    {"DanKQXS", intake::DanKQXS, "Take in a copied table of the last 100 draws", {}},
    {"DanKQXSNgay", intake::DanKQXSNgay, "Take in a copied table of draws of any length", {}},
    {"DanKQXSDB", intake::DanKQXSDB, "Take in the copied text of a special-prize page", {}},
    {"Main", analysis::Main, "Run the statistics with the parameters in",
     layout::Block{layout::kStage1.kind, layout::kStage2.window}},
    {"XoaDuLieu", entry::XoaDuLieu, "Clear the stored draws (asks first)", {}},
    {"Copy1", Copy<1>, "Print (and copy) the set of", OutputBlock(1)},
    {"Copy2", Copy<2>, "Print (and copy) the set of", OutputBlock(2)},
    {"Copy3", Copy<3>, "Print (and copy) the set of", OutputBlock(3)},
    {"Copy4", Copy<4>, "Print (and copy) the set of", OutputBlock(4)},
    {"Copy5", Copy<5>, "Print (and copy) the set of", OutputBlock(5)},
    {"Copy6", Copy<6>, "Print (and copy) the set of", OutputBlock(6)},
}};

std::string CommandSummary(const Command& command) {
  std::string out(command.summary);
  if (command.cells) {
    const layout::Block& b = *command.cells;
    const bool one_cell = b.first.row == b.last.row && b.first.col == b.last.col;
    const std::u16string where = one_cell ? layout::A1(b.first) : layout::A1(b);
    out += ' ';
    out.append(where.begin(), where.end());
  }
  return out;
}

const Command* FindCommand(std::string_view name) {
  for (const Command& c : kCommands) {
    if (c.name.size() != name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) {
      same = std::tolower(static_cast<unsigned char>(name[i])) ==
             std::tolower(static_cast<unsigned char>(c.name[i]));
    }
    if (same) return &c;
  }
  return nullptr;
}

}  // namespace kelvora
