#include "command_summary.h"

#include "analysis/chance_report.h"
#include "host/clipboard_text.h"
#include "host/convert.h"
#include "host/message.h"
#include "i18n.h"
#include "intake/intake_commands.h"
#include "intake/result_store.h"
#include "intake/special_prize_text.h"
#include "text/utf.h"

namespace kelvora::tool {

namespace {

std::string Draws(int64_t n) {
  return Fill(_n("{1} draw", "{1} draws", static_cast<unsigned long>(n)), {n});
}

std::string A1Text(layout::Cell c) { return Utf16ToUtf8(layout::A1(c)); }

bool IsTableIntake(const Command& command) {
  return command.name == "DanKQXS" || command.name == "DanKQXSNgay";
}

// Copy1 to Copy6: the output they copy, 1 to 6; 0 for another command.
int CopiedOutput(const Command& command) {
  return command.name.starts_with("Copy") ? command.name.back() - '0' : 0;
}

// What a stage of Main did: the draws it tested and the window asked for.
std::string StageLine(host::Session& session, int stage, int64_t stored) {
  const layout::Stage& cells = stage == 1 ? layout::kStage1 : layout::kStage2;
  host::Worksheet& sheet = session.MainSheet();
  const host::Table table = sheet.GetRange(layout::A1(layout::MethodTable(cells)))->GetValues();
  if (table(1, 1).IsEmpty()) return Fill(_("stage {1} did not run"), {stage});
  auto count = [](const host::Value& v) {
    return v.IsNumber() ? static_cast<int64_t>(v.number()) : 0;
  };
  const int64_t tested = count(table(1, 6)) + count(table(1, 7));
  const host::Value window = sheet.GetRange(layout::A1(cells.window))->GetValue();
  if (window.IsNumber() && window.number() > static_cast<double>(stored)) {
    return Fill(_("stage {1} tested {2} (window {3}, the store holds {4})"),
                {stage, Draws(tested), Utf16ToUtf8(host::ToText(window)), Draws(stored)});
  }
  return Fill(_("stage {1} tested {2}"), {stage, Draws(tested)});
}

// The draws of the special-prize text on the clipboard, as DanKQXSDB counts
// them.
int64_t SpecialPrizeDraws(host::Session& session) {
  host::WorksheetFunction& functions = session.WorksheetFunc();
  const intake::SpecialPrizeText page = intake::ReadSpecialPrizeText(
      GetClipboardText(session), [&](const std::u16string& s) { return functions.Trim(s); });
  return static_cast<int64_t>(page.blocks.size());
}

}  // namespace

int64_t StoredDraws(host::Session& session) {
  const int32_t last = intake::StoreLastRow(session.MainSheet());
  return last >= layout::kStoreFirstRow ? last - layout::kStoreFirstRow + 1 : 0;
}

void StopAsNothingNew(host::Session& session) {
  StopByCheck(session, intake::kNothingNew, kMbIconInformation);
}

std::optional<layout::Cell> EmptyCopiedCell(host::Session& session, const Command& command) {
  const int output = CopiedOutput(command);
  if (output == 0) return std::nullopt;
  const layout::Cell cell = layout::OutputCell(output);
  const host::Value v = session.MainSheet().GetRange(layout::A1(cell))->GetValue();
  // What the copy would put on the clipboard.
  if (v.IsError() || !host::ToText(v).empty()) return std::nullopt;
  return cell;
}

void StopTableIntakeWithNothingNew(host::Session& session, const Command& command,
                                   int64_t stored_before) {
  if (IsTableIntake(command) && session.outcome() == host::Outcome::kRanToEnd &&
      StoredDraws(session) <= stored_before) {
    StopAsNothingNew(session);
  }
}

std::string CommandSummary(host::Session& session, const Command& command, int64_t stored_before) {
  const std::string name(command.name);
  const bool ran = session.outcome() == host::Outcome::kRanToEnd;
  if (name.starts_with("DanKQXS")) {
    if (!ran) {
      if (name != "DanKQXSDB") return {};
      // Fewer draws is the only stop that leaves so few; the text's own
      // message does not say what it takes.
      const int64_t draws = SpecialPrizeDraws(session);
      if (draws >= intake::kMinSpecialPrizeBlocks) return {};
      return Fill(_("{1}: a special-prize text must hold at least {2} draws, each starting with "
                    "the word Kỳ; this one holds {3}"),
                  {name, intake::kMinSpecialPrizeBlocks, draws});
    }
    const int64_t stored = StoredDraws(session);
    const int64_t added = stored - stored_before;
    return Fill(
        _("{1}: {2}; the store holds {3}"),
        {name,
         Fill(_n("{1} new draw", "{1} new draws", static_cast<unsigned long>(added)), {added}),
         Draws(stored)});
  }
  if (name == "Main") {
    const int64_t stored = StoredDraws(session);
    std::string line = name + ": " + StageLine(session, 1, stored);
    const host::Value second =
        session.MainSheet().GetRange(layout::A1(layout::kSecondStageSwitch))->GetValue();
    if (second.IsText() && second.text() == u"ON") {
      line += "; " + StageLine(session, 2, stored);
    } else {
      line += std::string("; ") + _("stage 2 is off");
    }
    return line;
  }
  if (const int output = CopiedOutput(command); output != 0 && ran) {
    if (const auto empty = EmptyCopiedCell(session, command))
      return Fill(_("{1}: {2} is empty; nothing to copy"), {name, A1Text(*empty)});
    const size_t stage = static_cast<size_t>((output - 1) / layout::kMethods);
    if (analysis::AssessAgainstChance(analysis::ReadBook(session)).stages[stage].state ==
        analysis::StageState::kStale) {
      return Fill(
          _("{1}: {2} holds the set of an earlier run: {3}"),
          {name, A1Text(layout::OutputCell(output)), Utf16ToUtf8(analysis::StaleStageNotice())});
    }
  }
  return {};
}

}  // namespace kelvora::tool
