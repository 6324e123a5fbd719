#include "entry/commands.h"

#include <cctype>

#include "analysis/main_analysis.h"
#include "entry/output_commands.h"
#include "entry/report_command.h"
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

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
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

const Command kReportCommand = {
    "BaoCao", entry::BaoCao, "Write the report page into the temporary folder and open it", {}};

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
    if (SameName(c.name, name)) return &c;
  }
  return SameName(kReportCommand.name, name) ? &kReportCommand : nullptr;
}

}  // namespace kelvora
