// Kelvora.Connect as Excel meets it: created by its class name, connected,
// asked for its markup, its buttons clicked with a control on the active
// workbook of the fake Excel; and the native reference run repeated through
// Kelvora.Sub and through those buttons.
#include <windows.h>

#include <shellapi.h>
#undef MessageBox

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>

#include "com/connect_object.h"
#include "entry/ribbon.h"
#include "test_env.h"

namespace kelvora::testing {
namespace {

// While the DLL's MessageBoxW is patched to RecordBox (in every ConnectTest),
// its message boxes are kept as "text|caption|icon" and answered No.
std::vector<std::string> g_shown;
int WINAPI RecordBox(HWND, LPCWSTR text, LPCWSTR caption, UINT style) {
  g_shown.push_back(Narrow(text) + "|" + Narrow(caption) + "|" +
                    std::to_string(style & MB_ICONMASK));
  return IDNO;
}

// Where two JSON texts first differ; empty when they agree: every character
// alike outside numbers, numbers within a relative 1e-10. The p-values go
// through lgamma, exp and log, which the Windows runtime's mathematics
// rounds otherwise than Linux's in the last digits.
std::string FirstDifference(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  bool in_string = false;
  while (i < a.size() && j < b.size()) {
    if (!in_string && (isdigit(static_cast<unsigned char>(a[i])) || a[i] == '-')) {
      char *end_a = nullptr, *end_b = nullptr;
      const double x = strtod(&a[i], &end_a), y = strtod(&b[j], &end_b);
      if (end_b == &b[j] || std::fabs(x - y) > 1e-10 * std::max(std::fabs(x), std::fabs(y))) break;
      i = static_cast<size_t>(end_a - a.data());
      j = static_cast<size_t>(end_b - b.data());
      continue;
    }
    const size_t n = in_string && a[i] == '\\' ? 2 : 1;
    if (a.compare(i, n, b, j, n) != 0) break;
    if (a[i] == '"') in_string = !in_string;
    i += n;
    j += n;
  }
  if (i >= a.size() && j >= b.size()) return {};
  return "at " + std::to_string(i) + ": " + a.substr(i, 40) + " | " + b.substr(j, 40);
}

class ConnectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    addin_ = Create<com::IDTExtensibility2>(L"Kelvora.Connect", com::kIidDTExtensibility2);
    ASSERT_NE(addin_, nullptr);
  }
  void TearDown() override {
    EXPECT_EQ(addin_->OnBeginShutdown(&custom_), S_OK);
    EXPECT_EQ(addin_->OnDisconnection(com::ext_dm_HostShutdown, &custom_), S_OK);
    EXPECT_EQ(addin_->Release(), 0u);
    SafeArrayDestroy(custom_);
  }
  // Connects the add-in to the fake Excel of `state` as Excel does at start.
  void Connect(const std::shared_ptr<FakeExcelState>& state) {
    state_ = state;
    IDispatch *app = NewFakeApplication(state), *instance = NewFakeComAddIn(state);
    EXPECT_EQ(addin_->OnConnection(app, com::ext_cm_Startup, instance, &custom_), S_OK);
    EXPECT_EQ(addin_->OnAddInsUpdate(&custom_), S_OK);
    EXPECT_EQ(addin_->OnStartupComplete(&custom_), S_OK);
    for (IDispatch* d : {instance, app}) d->Release();
  }
  // A click: the callback with the control of its button, as Office passes
  // it; it never fails. g_shown keeps the boxes it showed.
  void Click(const std::string& callback) {
    g_shown.clear();
    const RibbonButton* button = FindRibbonButton(callback);
    ASSERT_NE(button, nullptr) << callback;
    IDispatch* control = NewFakeRibbonControl(state_, Utf8ToUtf16(std::string(button->id)));
    const std::wstring name(callback.begin(), callback.end());
    EXPECT_EQ(CallByName(addin_, name.c_str(), {Object(&control)}).hr, S_OK) << callback;
    control->Release();
  }

  const ImportPatch boxes_{L"user32.dll", "MessageBoxW", &RecordBox};
  com::IDTExtensibility2* addin_ = nullptr;
  SAFEARRAY* custom_ = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  std::shared_ptr<FakeExcelState> state_ = std::make_shared<FakeExcelState>();
};

// Each scenario of the native reference run, repeated through Kelvora.Sub
// and through the add-in's buttons: the same outcomes (the add-in shows a
// failure as "Lỗi <number>: <description>" under "Thông Báo" with the
// critical icon), clipboard text, cells and report data.
class NativeRunTest : public ConnectTest,
                      public ::testing::WithParamInterface<std::tuple<Scenario, bool>> {};

TEST_P(NativeRunTest, SameOutcomesClipboardAndCells) {
  const auto& [scenario, through_addin] = GetParam();
  const std::string dir = g_env.reference_dir, base = dir + "/" + scenario.name;
  const auto expected = ReadFile(dir + "/expected-" + scenario.name + ".txt"),
             grid = ReadFile(base + ".grid"), clip = ReadFile(base + ".clip");
  ASSERT_TRUE(expected && grid && clip) << "reference files in " << dir;
  auto state = NewTemplateState();
  state->paste_grid = DecodeGrid(*grid);
  IDispatch* sub = through_addin ? nullptr : CreateSub();
  std::string actual = "Sup: ok\n";
  if (sub && Sup(sub, state).hr != S_OK) actual = "Sup: failed\n";
  if (!sub) Connect(state);
  FillClipboard(Utf8ToUtf16(*clip));
  // ": ok", or the failure as Kelvora.Sub reports it.
  const auto run = [&](const char* c) -> std::string {
    if (sub) {
      const Outcome o = CallByName(sub, std::wstring(c, c + strlen(c)).c_str());
      if (o.hr == S_OK) return ": ok";
      return ": error " + std::to_string(o.number()) + " " + Narrow(o.description);
    }
    Click(c);
    const std::regex failure("Lỗi (\\d+):([\\s\\S]*)\\|Thông Báo\\|16");
    std::smatch m;
    for (const std::string& shown : g_shown)
      if (std::regex_match(shown, m, failure)) return ": error " + m[1].str() + m[2].str();
    return ": ok";
  };
  for (const char* c : scenario.commands) actual += c + run(c) + "\n";
  // The page BaoCao opens carries the native report's data block.
  std::string block, path;
  {
    const ShellWatch shell;
    EXPECT_EQ(run("BaoCao"), ": ok");
    const auto page = shell.opened.size() == 1 ? ReadFile(shell.opened[0]) : std::nullopt;
    EXPECT_TRUE(page) << "no page opened";
    if (page) block = ReportDataBlock(*page);
    if (page) path = Narrow(shell.opened[0]);
  }
  // Without a temporary folder to write it into, or a program to open it.
  wchar_t tmp[MAX_PATH + 1] = {};
  const bool had_tmp = GetEnvironmentVariableW(L"TMP", tmp, MAX_PATH + 1) > 0;
  for (const auto& [folder, shell_answer, said] :
       {std::tuple{
            L"C:\\no\\such\\folder", INT_PTR{42},
            std::string("Không ghi được trang báo cáo vào thư mục tạm (Kelvora-report.html)")},
        {nullptr, SE_ERR_NOASSOC,
         "Đã ghi trang báo cáo nhưng không mở được bằng trình duyệt mặc định: " + path}}) {
    if (folder) SetEnvironmentVariableW(L"TMP", folder);
    const ShellWatch shell(shell_answer);
    EXPECT_EQ(run("BaoCao"), ": error 75 " + said);
    EXPECT_EQ(shell.opened.size(), folder ? 0u : 1u);
    SetEnvironmentVariableW(L"TMP", had_tmp ? tmp : nullptr);
  }
  if (sub) sub->Release();
  actual += "clipboard: " + EscapeText(ClipboardText()) + "\n" + DumpWorkbook(*state->book);
  // A difference keeps what this run gave beside the expected file.
  auto differs = [&](const std::string& what, const std::string& text, const char* extension) {
    const std::string file = dir + "/actual-" + scenario.name + (sub ? "-sub-" : "-addin-") +
                             std::to_string(sizeof(void*) * 8) + extension;
    std::ofstream(file, std::ios::binary) << text;
    ADD_FAILURE() << what << ": compare " << file << " with its expected file";
  };
  if (actual != *expected) differs("not the native run's result", actual, ".txt");
  const std::string difference =
      FirstDifference(ReadFile(base + ".report.json").value_or(""), block);
  if (!difference.empty())
    differs("not the native report's data block (" + difference + ")", block, ".report.json");
}

INSTANTIATE_TEST_SUITE_P(Samples, NativeRunTest,
                         ::testing::Combine(::testing::ValuesIn(kScenarios), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) ? "_Addin" : "_Sub");
                         });

// A workbook without the shape is refused before a command writes anything,
// with what is missing and the way out; "Kiểm tra sổ" says the same.
TEST_F(ConnectTest, RefusesWorkbooksWithoutTheShapeAndWritesNothing) {
  const auto make = [](std::vector<const char16_t*> codes, int kind_rows, bool open) {
    auto s = std::make_shared<FakeExcelState>();
    for (const char16_t* code : codes) s->book->AddSheet(code, code)->PutValue(3, 12, 7);
    if (kind_rows > 0)
      s->book->DefineName(u"KieuDanh", s->book->sheets().back(), {1, 1, kind_rows, 1});
    s->workbook_open = open;
    return s;
  };
  const std::pair<std::shared_ptr<FakeExcelState>, std::string> cases[] = {
      {make({u"Sheet1", u"Sheet2", u"Sheet3"}, 6, false), "Chưa có sổ tính nào đang mở."},
      {make({u"", u"", u""}, 6, true), "không trang tính nào có tên mã Sheet1, Sheet2, Sheet3."},
      {make({u"Sheet1", u"Sheet2", u"Sheet3"}, 0, true), "thiếu tên KieuDanh"},
      {make({u"Sheet1", u"Sheet3", u"Sheet2"}, 6, true), "tên KieuDanh không trỏ vào trang"},
      {make({u"Sheet1", u"Sheet2", u"Sheet3"}, 4, true), "tên KieuDanh chỉ có 4 dòng, cần 6"}};
  const long fakes_before = FakeObjectsAlive();
  for (const auto& [state, missing] : cases) {
    Connect(state);
    const std::string cells = DumpWorkbook(*state->book);
    for (const char* callback : {"Main", "KiemTraSo"}) {
      Click(callback);
      ASSERT_EQ(g_shown.size(), 1u) << callback;
      EXPECT_NE(g_shown[0].find(missing), std::string::npos) << g_shown[0];
      EXPECT_TRUE(
          g_shown[0].ends_with("Hãy bấm \"Sổ mới\" trên thẻ Kelvora để mở một sổ tính "
                               "đúng dạng rồi làm lại.|Thông Báo|48"));
    }
    EXPECT_EQ(DumpWorkbook(*state->book), cells);
    EXPECT_TRUE(state->app->property_log().empty());
  }
  addin_->OnDisconnection(com::ext_dm_UserClosed, &custom_);
  EXPECT_EQ(FakeObjectsAlive(), fakes_before);
}

// The markup for Excel's workbook ribbon alone (its callbacks are clicked
// by name above and below). A failed command is shown and the next click
// works; a click leaves the binding of a workbook's macros as it found it
// and gives back every reference it took; "Sổ mới" opens the template
// beside the DLLs' folder.
TEST_F(ConnectTest, MarkupFailuresMacrosBindingAndTemplate) {
  com::IRibbonExtensibility* ribbon = nullptr;
  ASSERT_EQ(addin_->QueryInterface(com::kIidRibbonExtensibility, reinterpret_cast<void**>(&ribbon)),
            S_OK);
  for (const auto& [id, expected] :
       {std::pair{L"Microsoft.Excel.Workbook", Utf8ToUtf16(RibbonMarkup())},
        std::pair{L"Microsoft.Word.Document", std::u16string()}}) {
    BSTR ribbon_id = SysAllocString(id), xml = nullptr;
    EXPECT_EQ(ribbon->GetCustomUI(ribbon_id, &xml), S_OK);
    EXPECT_TRUE(xml &&
                std::u16string(reinterpret_cast<char16_t*>(xml), SysStringLen(xml)) == expected);
    for (BSTR b : {ribbon_id, xml}) SysFreeString(b);
  }
  ribbon->Release();
  EXPECT_EQ(CallByName(addin_, nullptr).hr, DISP_E_UNKNOWNNAME);
  const long fakes_before = FakeObjectsAlive();
  auto bound = NewTemplateState(), active = NewTemplateState();
  bound->book->SheetByCodeName(u"Sheet1")->PutValue(3, 12, host::Value(u"01,02"));
  active->book->SheetByCodeName(u"Sheet1")->PutValue(3, 12, host::Value(u"03,04"));
  IDispatch* sub = CreateSub();
  EXPECT_EQ(Sup(sub, bound).hr, S_OK);
  Connect(active);
  const std::filesystem::path dll(g_env.dll_path),
      template_file = (dll.parent_path().parent_path() / "Kelvora.xlsx").make_preferred();
  const std::string template_path = Utf16ToUtf8(template_file.u16string());
  // (button, message shown, clipboard afterwards)
  const std::tuple<const char*, std::string, std::u16string> clicks[] = {
      {"BaoCao", "Lỗi 5: Sổ tính chưa có kết quả phân tích: hãy chạy Main trước|Thông Báo|16",
       u"trước"},
      {"Copy1", "Đã Copy PP1", u"03,04"},
      {"KiemTraSo", "Sổ tính đang mở có đủ dạng của Kelvora", u"03,04"},
      {"SoMoi", "Không tìm thấy mẫu sổ tính của Kelvora: " + template_path, u"03,04"}};
  FillClipboard(u"trước");
  for (const auto& [button, message, clipboard] : clicks) {
    Click(button);
    EXPECT_EQ(g_shown.empty() ? "" : g_shown[0].substr(0, message.size()), message);
    EXPECT_TRUE(ClipboardText() == clipboard) << button;
  }
  std::ofstream(template_file) << "template";
  Click("SoMoi");
  std::filesystem::remove(template_file);
  EXPECT_TRUE(g_shown.empty());
  EXPECT_TRUE(active->added_workbooks == std::vector{Utf8ToUtf16(template_path)});
  // Released as a Sub's destruction releases it, once per bound click.
  const auto& log = active->app->property_log();
  EXPECT_EQ(std::count(log.begin(), log.end(), "CellDragAndDrop=true"), 2);
  EXPECT_EQ(CallByName(sub, L"Copy1").hr, S_OK);
  EXPECT_TRUE(ClipboardText() == u"01,02");
  sub->Release();
  addin_->OnDisconnection(com::ext_dm_UserClosed, &custom_);
  EXPECT_EQ(FakeObjectsAlive(), fakes_before);
}

}  // namespace
}  // namespace kelvora::testing
