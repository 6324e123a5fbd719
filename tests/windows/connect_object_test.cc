// Kelvora.Connect as Excel meets it: created by its class name, connected,
// asked for its markup, its buttons clicked with a control on the active
// workbook of the fake Excel, beside the same commands through Kelvora.Sub.
#include <gtest/gtest.h>
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>
#undef MessageBox

#include <filesystem>
#include <fstream>

#include "Kelvora_h.h"
#include "cell_text.h"
#include "com/connect_object.h"
#include "entry/ribbon.h"
#include "scenarios.h"
#include "test_env.h"

namespace kelvora::testing {
namespace {

// While a BoxWatch lives, the DLL's message boxes are kept as "text|caption|
// icon" and answered No.
std::vector<std::string> g_shown;
int WINAPI RecordBox(HWND, LPCWSTR text, LPCWSTR caption, UINT style) {
  g_shown.push_back(Utf16ToUtf8(reinterpret_cast<const char16_t*>(text)) + "|" +
                    Utf16ToUtf8(reinterpret_cast<const char16_t*>(caption)) + "|" +
                    std::to_string(style & MB_ICONMASK));
  return IDNO;
}
struct BoxWatch {
  BoxWatch() { EXPECT_TRUE(PatchImport(real, record)); }
  ~BoxWatch() { EXPECT_TRUE(PatchImport(record, real)); }
  const FARPROC real = GetProcAddress(GetModuleHandleW(L"user32.dll"), "MessageBoxW");
  const FARPROC record = reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&RecordBox));
};

// How the add-in shows a failure.
std::string Shown(const Outcome& o) {
  return "Lỗi " + std::to_string(o.number()) + ": " +
         Utf16ToUtf8(std::u16string(o.description.begin(), o.description.end())) + "|Thông Báo|16";
}

class ConnectTest : public ::testing::Test {
 protected:
  using Entry = HRESULT(STDAPICALLTYPE*)();
  static void SetUpTestSuite() { Export("DllRegisterServer")(); }
  static void TearDownTestSuite() { Export("DllUnregisterServer")(); }
  static Entry Export(const char* name) {
    return reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(Dll(), name)));
  }
  void SetUp() override {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(L"Kelvora.Connect", &clsid), S_OK);
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, com::kIidDTExtensibility2,
                               reinterpret_cast<void**>(&addin_)),
              S_OK);
    g_shown.clear();
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
    IDispatch* app = NewFakeApplication(state);
    EXPECT_EQ(addin_->OnConnection(app, com::ext_cm_Startup, nullptr, &custom_), S_OK);
    EXPECT_EQ(addin_->OnAddInsUpdate(&custom_), S_OK);
    EXPECT_EQ(addin_->OnStartupComplete(&custom_), S_OK);
    app->Release();
  }
  // A click: the callback with its control; it never fails.
  void Click(const std::string& callback) {
    IDispatch* control = NewFakeRibbonControl(state_, u"x");
    VARIANT arg;
    V_VT(&arg) = VT_DISPATCH;
    V_DISPATCH(&arg) = control;
    EXPECT_EQ(CallByName(addin_, std::wstring(callback.begin(), callback.end()).c_str(), {arg}).hr,
              S_OK)
        << callback;
    control->Release();
  }

  com::IDTExtensibility2* addin_ = nullptr;
  SAFEARRAY* custom_ = SafeArrayCreateVector(VT_VARIANT, 0, 0);
  std::shared_ptr<FakeExcelState> state_ = std::make_shared<FakeExcelState>();
};

// Each command button on a workbook made from the template gives the cells,
// clipboard, messages and report of the same command through Kelvora.Sub,
// in every sample run.
class ConnectRunTest : public ConnectTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(ConnectRunTest, EveryButtonGivesWhatKelvoraSubGives) {
  const std::string base = Env().reference_dir + "/" + GetParam().name;
  const auto grid = ReadFile(base + ".grid"), clip = ReadFile(base + ".clip");
  ASSERT_TRUE(grid && clip);
  std::vector<std::string> commands = {"BaoCao"};
  commands.insert(commands.end(), GetParam().commands.begin(), GetParam().commands.end());
  for (const char* c : {"Copy1", "Copy2", "Copy3", "Copy4", "Copy5", "Copy6", "BaoCao"})
    commands.push_back(c);
  std::string transcripts[2];
  for (int through_addin = 0; through_addin < 2; ++through_addin) {
    const auto state = NewTemplateState();
    state->paste_grid = DecodeGrid(*grid);
    IDispatch* sub = through_addin ? nullptr : CreateSub();
    if (sub) {
      EXPECT_EQ(Sup(sub, state).hr, S_OK);
    }
    if (through_addin) Connect(state);
    const BoxWatch boxes;
    FillClipboard(Utf8ToUtf16(*clip));
    std::string& out = transcripts[through_addin];
    for (const std::string& c : commands) {
      const ShellWatch shell;
      if (through_addin) {
        Click(c);
      } else if (const Outcome o = CallByName(sub, std::wstring(c.begin(), c.end()).c_str());
                 o.hr != S_OK) {
        g_shown.push_back(Shown(o));
      }
      out += c + ": " + EscapeText(ClipboardText()) + "\n";
      for (const std::string& m : g_shown) out += "  " + m + "\n";
      g_shown.clear();
      for (const std::wstring& page : shell.opened())
        out += ReportDataBlock(ReadFile(page).value_or("")) + "\n";
    }
    if (sub) sub->Release();
    out += DumpWorkbook(*state->book);
  }
  EXPECT_EQ(transcripts[1], transcripts[0]);
  // The run went through: BaoCao before Main is its one failure.
  EXPECT_NE(transcripts[0].find("|16\n"), std::string::npos);
  EXPECT_EQ(transcripts[0].find("|16\n"), transcripts[0].rfind("|16\n"));
}

INSTANTIATE_TEST_SUITE_P(Samples, ConnectRunTest, ::testing::ValuesIn(Scenarios()),
                         [](const auto& info) { return std::string(info.param.name); });

// A workbook without the shape is refused before anything is written, with
// what is missing and the way out; "Kiểm tra sổ" says the same.
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
      {make({u"Sheet1", u"Sheet2", u""}, 6, true), "không trang tính nào có tên mã Sheet3."},
      {make({u"Sheet1", u"Sheet2", u"Sheet3"}, 0, true), "thiếu tên KieuDanh"},
      {make({u"Sheet1", u"Sheet3", u"Sheet2"}, 6, true), "tên KieuDanh không trỏ vào trang"},
      {make({u"Sheet1", u"Sheet2", u"Sheet3"}, 4, true), "tên KieuDanh chỉ có 4 dòng, cần 6"},
  };
  const long fakes_before = FakeObjectsAlive();
  const BoxWatch boxes;
  for (const auto& [state, missing] : cases) {
    Connect(state);
    const std::string cells = DumpWorkbook(*state->book);
    for (const RibbonButton& b : RibbonButtons()) {
      if (b.action == RibbonAction::kNewWorkbook) continue;
      Click(std::string(b.callback));
      ASSERT_EQ(g_shown.size(), 1u) << b.callback;
      EXPECT_NE(g_shown[0].find(missing), std::string::npos) << g_shown[0];
      EXPECT_TRUE(
          g_shown[0].ends_with("Hãy bấm \"Sổ mới\" trên thẻ Kelvora để mở một sổ tính "
                               "đúng dạng rồi làm lại.|Thông Báo|48"));
      g_shown.clear();
    }
    EXPECT_EQ(DumpWorkbook(*state->book), cells);
    EXPECT_TRUE(state->app->property_log().empty());
  }
  addin_->OnDisconnection(com::ext_dm_UserClosed, &custom_);
  state_.reset();
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
    SysFreeString(ribbon_id);
    SysFreeString(xml);
  }
  ribbon->Release();
  const long fakes_before = FakeObjectsAlive();
  auto bound = NewTemplateState(), active = NewTemplateState();
  bound->book->SheetByCodeName(u"Sheet1")->PutValue(3, 12, host::Value(u"01,02"));
  active->book->SheetByCodeName(u"Sheet1")->PutValue(3, 12, host::Value(u"03,04"));
  IDispatch* sub = CreateSub();
  EXPECT_EQ(Sup(sub, bound).hr, S_OK);
  Connect(active);
  const std::filesystem::path dll(Env().dll_path),
      template_file = (dll.parent_path().parent_path() / "Kelvora.xlsx").make_preferred();
  const std::string template_path = Utf16ToUtf8(template_file.u16string());
  // (button, message shown, clipboard afterwards)
  const std::tuple<const char*, std::string, std::u16string> clicks[] = {
      {"BaoCao", "Lỗi 5: Sổ tính chưa có kết quả phân tích: hãy chạy Main trước|Thông Báo|16",
       u"trước"},
      {"Copy1", "", u"03,04"},
      {"KiemTraSo", "Sổ tính đang mở có đủ dạng của Kelvora", u"03,04"},
      {"SoMoi", "Không tìm thấy mẫu sổ tính của Kelvora: " + template_path, u"03,04"},
  };
  const BoxWatch boxes;
  FillClipboard(u"trước");
  for (const auto& [button, message, clipboard] : clicks) {
    Click(button);
    EXPECT_EQ(g_shown.empty() ? "" : g_shown[0].substr(0, message.size()), message);
    EXPECT_TRUE(ClipboardText() == clipboard) << button;
    g_shown.clear();
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
  bound.reset();
  active.reset();
  state_.reset();
  EXPECT_EQ(FakeObjectsAlive(), fakes_before);
}

}  // namespace
}  // namespace kelvora::testing
