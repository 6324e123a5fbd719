#include "entry/report_command.h"

#include "host/error.h"
#include "report/report_data.h"
#include "report/report_page.h"
#include "text/telex.h"
#include "text/utf.h"

namespace kelvora::entry {

namespace {

// The texts, stored in Telex like every text of the engine; what follows
// them (a sheet's name, a path) is appended after decoding.
constexpr char16_t kNotBound[] = u"Chuwa gawsn soor tisnh: haxy goji Sup truwowsc";
constexpr char16_t kNoAnalysis[] =
    u"Soor tisnh chuwa cos keest quar phaan tisch: haxy chajy Main truwowsc";
constexpr char16_t kNotWritten[] = u"Khoong ghi dduwowjc trang baso caso vafo thuw mujc tajm";
constexpr char16_t kNotOpened[] =
    u"Ddax ghi trang baso caso nhuwng khoong mowr dduwowjc bawfng trifnh duyeejt mawjc ddijnh: ";

[[noreturn]] void Refuse(int32_t number, const char16_t* stored, const std::u16string& tail) {
  throw CommandError(number, Utf16ToUtf8(TelexToUnicode(stored) + tail));
}

}  // namespace

void BaoCao(host::Session& session) {
  host::Desktop* desktop = session.platform().desktop;
  if (desktop == nullptr) ThrowObjectRequired("Desktop");
  if (!session.book().MainSheet) Refuse(err::kObjectRequired, kNotBound, u" (MainSheet)");
  if (!session.book().SettingsSheet) Refuse(err::kObjectRequired, kNotBound, u" (SettingsSheet)");
  const std::optional<report::ReportData> data = report::GatherReport(session, kReportTitle);
  if (!data) Refuse(kNoAnalysisYet, kNoAnalysis, u"");
  const std::optional<std::u16string> path =
      desktop->WriteTemporaryFile(kReportFileName, report::RenderReportPage(*data));
  if (!path) Refuse(kPageNotShown, kNotWritten, u" (" + std::u16string(kReportFileName) + u")");
  if (!desktop->Open(*path)) Refuse(kPageNotShown, kNotOpened, *path);
}

}  // namespace kelvora::entry
