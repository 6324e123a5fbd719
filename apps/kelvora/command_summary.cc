#include "command_summary.h"

#include "host/convert.h"
#include "host/layout.h"
#include "i18n.h"
#include "intake/result_store.h"
#include "text/utf.h"

namespace kelvora::tool {

namespace {

std::string Draws(int64_t n) {
  return Fill(_n("{1} draw", "{1} draws", static_cast<unsigned long>(n)), {n});
}

std::string A1Text(layout::Cell c) { return Utf16ToUtf8(layout::A1(c)); }

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

}  // namespace

int64_t StoredDraws(host::Session& session) {
  const int32_t last = intake::StoreLastRow(session.MainSheet());
  return last >= layout::kStoreFirstRow ? last - layout::kStoreFirstRow + 1 : 0;
}

std::string CommandSummary(host::Session& session, const Command& command, host::Outcome outcome,
                           int64_t stored_before) {
  const std::string name(command.name);
  const bool ran = outcome == host::Outcome::kRanToEnd;
  if (name.rfind("DanKQXS", 0) == 0) {
    if (!ran) return {};
    const int64_t stored = StoredDraws(session);
    const int64_t added = stored - stored_before;
    const std::string taken =
        added > 0
            ? Fill(_n("{1} new draw", "{1} new draws", static_cast<unsigned long>(added)), {added})
            : std::string(_("no new draws"));
    return Fill(_("{1}: {2}; the store holds {3}"), {name, taken, Draws(stored)});
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
  if (name.rfind("Copy", 0) == 0 && ran) {
    const layout::Cell cell = layout::OutputCell(name.back() - '0');
    if (session.MainSheet().GetRange(layout::A1(cell))->GetValue().IsEmpty())
      return Fill(_("{1}: {2} is empty; nothing to copy"), {name, A1Text(cell)});
  }
  return {};
}

}  // namespace kelvora::tool
