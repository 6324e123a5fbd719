// Kelvora.dll as Excel meets it: registered, created by its class name,
// every method called by name through IDispatch, against the fake Excel.
// (What registering writes, per user and machine-wide, in both bitnesses, and
// that unregistering leaves nothing, is checked by run-package-tests.)
#include <ocidl.h>

#include <algorithm>
#include <cstring>

#include "Kelvora_h.h"
#include "entry/sub.h"
#include "host/layout.h"
#include "test_env.h"

namespace kelvora::testing {
namespace {

using host::Value;

// What the DLL frees while RecordFree stands in for its SysFreeString.
std::vector<BSTR> g_freed_by_dll;
void WINAPI RecordFree(BSTR b) {
  g_freed_by_dll.push_back(b);
  SysFreeString(b);
}

// The name a type library or a type documents for `id`.
template <typename T>
std::wstring DocumentedName(T* types, MEMBERID id) {
  BSTR b = nullptr;
  types->GetDocumentation(id, &b, nullptr, nullptr, nullptr);
  const std::wstring name = b ? b : L"<none>";
  SysFreeString(b);
  return name;
}

// (The other exports: DllRegisterServer and DllUnregisterServer by main, DllGetClassObject and
// DllCanUnloadNow by SubTest, DllInstall by the package's installer.)
TEST(ComServerTest, ExportsTypeLibrary) {
  ITypeLib* lib = nullptr;
  ITypeInfo *disp = nullptr, *vtbl = nullptr;
  HREFTYPE ref = 0;
  ASSERT_EQ(LoadTypeLibEx(g_env.dll_path.c_str(), REGKIND_NONE, &lib), S_OK);
  EXPECT_EQ(DocumentedName(lib, -1), L"Kelvora");
  // The vtable side of the dual interface: the methods in order, right
  // after IDispatch's seven, with dispatch ids from 1.
  ASSERT_EQ(lib->GetTypeInfoOfGuid(IID__Sub, &disp), S_OK);
  ASSERT_EQ(disp->GetRefTypeOfImplType(-1, &ref), S_OK);
  ASSERT_EQ(disp->GetRefTypeInfo(ref, &vtbl), S_OK);
  TYPEATTR* attr = nullptr;
  vtbl->GetTypeAttr(&attr);
  EXPECT_TRUE(attr->typekind == TKIND_INTERFACE && (attr->wTypeFlags & TYPEFLAG_FDUAL));
  ASSERT_EQ(attr->cFuncs, Sub::kMethodNames.size());
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    vtbl->GetFuncDesc(i, &f);
    EXPECT_EQ(Narrow(DocumentedName(vtbl, f->memid)), Sub::kMethodNames[i]);
    EXPECT_EQ(f->oVft, static_cast<SHORT>((7 + i) * sizeof(void*)));
    EXPECT_EQ(f->memid, static_cast<MEMBERID>(i + 1));
    vtbl->ReleaseFuncDesc(f);
  }
  vtbl->ReleaseTypeAttr(attr);
  for (IUnknown* p : std::initializer_list<IUnknown*>{vtbl, disp, lib}) p->Release();
}

class SubTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(sub_ = CreateSub(), nullptr); }
  void TearDown() override {
    if (sub_) sub_->Release();
  }
  IDispatch* sub_ = nullptr;
};

// Every method shares one guard; each is called by name below or in NativeRunTest.
TEST_F(SubTest, AFailureIsAnAutomationErrorThatKeepsTheCallersStrings) {
  VARIANT number;
  V_VT(&number) = VT_I4;
  V_I4(&number) = 1;
  // The EXCEPINFO is output only: strings a caller left in it are filled
  // over, not freed, by a command and by Sup with a wrong argument. Names
  // bind without regard to case, as macro code calls them.
  const ImportPatch free_watch(L"oleaut32.dll", "SysFreeString", &RecordFree);
  for (const auto& [name, args, error] :
       {std::tuple{L"copy1", std::vector<VARIANT>{}, 91},
        std::tuple{L"Sup", std::vector<VARIANT>{number, number}, 13}}) {
    EXCEPINFO stale{};
    stale.bstrSource = SysAllocString(L"the caller's source");
    stale.bstrDescription = SysAllocString(L"the caller's description");
    const Outcome o = CallByName(sub_, name, args, stale);
    EXPECT_EQ(o.scode, MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, error));
    EXPECT_FALSE(o.description.empty());
    for (BSTR b : {stale.bstrSource, stale.bstrDescription}) {
      EXPECT_EQ(std::count(g_freed_by_dll.begin(), g_freed_by_dll.end(), b), 0) << Narrow(name);
      SysFreeString(b);
    }
  }
  EXPECT_EQ(CallByName(sub_, L"Copy7").hr, DISP_E_UNKNOWNNAME);
  // Sup wants its two objects.
  EXPECT_TRUE(FAILED(CallByName(sub_, L"Sup").hr));
}

// Sup takes its objects however a caller passes them; the commands then
// copy as Excel's window.
TEST_F(SubTest, SupTakesObjectsHoweverPassed) {
  // A script's TypeName of an object is the name of its class information.
  IProvideClassInfo* provide = nullptr;
  ITypeInfo* info = nullptr;
  ASSERT_EQ(sub_->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&provide)), S_OK);
  ASSERT_EQ(provide->GetClassInfo(&info), S_OK);
  EXPECT_EQ(DocumentedName(info, MEMBERID_NIL), L"Sub");
  for (IUnknown* p : std::initializer_list<IUnknown*>{info, provide}) p->Release();
  auto state = NewTemplateState();
  const layout::Cell pp1 = layout::OutputCell(1), pp6 = layout::OutputCell(6);
  state->book->SheetByCodeName(u"Sheet1")->PutValue(pp1.row, pp1.col, Value(u"01,02,03"));
  state->book->SheetByCodeName(u"Sheet1")->PutValue(pp6.row, pp6.col, Value::Error(2042));
  // (command, clipboard text afterwards, error number); an error value
  // cannot be copied, so the clipboard stays.
  const std::tuple<const wchar_t*, std::u16string, int32_t> cases[] = {{L"Copy1", u"01,02,03", 0},
                                                                       {L"Copy6", u"earlier", 13}};
  const HWND excel_window = MessageWindow();
  state->window = reinterpret_cast<std::intptr_t>(excel_window);
  for (Passed passed :
       {Passed::kByValue, Passed::kByReference, Passed::kInVariant, Passed::kByName}) {
    IDispatch* sub = CreateSub();
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(Sup(sub, state, passed).hr, S_OK);
    for (const auto& [command, expected, number] : cases) {
      SCOPED_TRACE(Narrow(command) + " after Sup passed as " + std::to_string(int(passed)));
      FillClipboard(u"earlier");
      const Outcome o = CallByName(sub, command);
      EXPECT_EQ(o.hr, number ? DISP_E_EXCEPTION : S_OK);
      EXPECT_EQ(o.number(), number);
      EXPECT_TRUE(ClipboardText() == expected);
      // Nothing earlier stays on the clipboard.
      EXPECT_TRUE(number != 0 || !IsClipboardFormatAvailable(kTestFormat));
      EXPECT_TRUE(number != 0 || GetClipboardOwner() == excel_window);
    }
    sub->Release();
  }
  DestroyWindow(excel_window);
}

TEST_F(SubTest, SupRefusalsDateFormatAndHostRefusals) {
  const auto state = NewTemplateState();
  // Sup with Nothing: an empty object reference (bound by its lower-case name).
  IDispatch* nothing = nullptr;
  EXPECT_EQ(CallByName(sub_, L"sup", {Object(&nothing), Object(&nothing)}).number(), 91);
  // Anything but an object is a type mismatch that names the argument.
  IDispatch* app = NewFakeApplication(state);
  VARIANT number, empty{}, in_variant, object = Object(&app);
  V_VT(&number) = VT_I4;
  V_I4(&number) = 1;
  V_VT(&in_variant) = VT_VARIANT | VT_BYREF;
  V_VARIANTREF(&in_variant) = &number;
  const std::tuple<VARIANT, VARIANT, const wchar_t*> mismatches[] = {
      {number, object, L"(ExcelApp)"},
      {object, empty, L"(ThisWorkBook)"},
      {object, in_variant, L"(ThisWorkBook)"}};
  for (const auto& [excel_app, this_workbook, named] : mismatches) {
    const Outcome o = CallByName(sub_, L"Sup", {excel_app, this_workbook});
    EXPECT_EQ(o.number(), 13);
    EXPECT_NE(o.description.find(named), std::wstring::npos) << Narrow(o.description);
  }
  app->Release();
  // Sup sets the short date format.
  const wchar_t* key = L"Control Panel\\International";
  RegSetKeyValueW(HKEY_CURRENT_USER, key, L"sShortDate", REG_SZ, L"M/d/yyyy", 18);
  EXPECT_EQ(Sup(sub_, state).hr, S_OK);
  wchar_t format[32] = {};
  DWORD size = sizeof format;
  RegGetValueW(HKEY_CURRENT_USER, key, L"sShortDate", RRF_RT_REG_SZ, nullptr, format, &size);
  EXPECT_STREQ(format, L"dd/MM/yyyy");
  state->refuse_value_reads = true;
  const Outcome o = CallByName(sub_, L"Copy1");
  EXPECT_EQ(o.number(), 1004);
  EXPECT_EQ(o.description, L"Unable to get the Value property");
}

TEST_F(SubTest, DestroyingAnInstanceReleasesTheWorkbookOnce) {
  const long fakes_before = FakeObjectsAlive();
  auto state = NewTemplateState();
  state->book->SheetByCodeName(u"Sheet1")->PutValue(3, 12, Value(u"5"));
  const auto& log = state->app->property_log();
  sub_->Release();  // DllCanUnloadNow below counts every instance
  sub_ = nullptr;

  IDispatch *first = CreateSub(), *second = CreateSub();
  ASSERT_TRUE(first != nullptr && second != nullptr);
  EXPECT_EQ(Sup(first, state).hr, S_OK);
  // The binding is shared by every instance of the thread.
  EXPECT_EQ(CallByName(second, L"Copy1").hr, S_OK);
  EXPECT_EQ(CallExport("DllCanUnloadNow"), S_FALSE);
  second->Release();
  EXPECT_EQ(std::count(log.begin(), log.end(), "CellDragAndDrop=true"), 1);
  EXPECT_EQ(CallByName(first, L"Copy1").number(), 91);
  first->Release();
  EXPECT_EQ(std::count(log.begin(), log.end(), "CellDragAndDrop=true"), 1);
  // Every Excel reference the component took has been given back.
  state.reset();
  EXPECT_EQ(FakeObjectsAlive(), fakes_before);
  CoFreeUnusedLibraries();
  EXPECT_EQ(CallExport("DllCanUnloadNow"), S_OK);
}

TEST_F(SubTest, EarlyBoundCallsReportThroughErrorInfo) {
  _Sub* direct = nullptr;
  ISupportErrorInfo* support = nullptr;
  ASSERT_EQ(sub_->QueryInterface(IID__Sub, reinterpret_cast<void**>(&direct)), S_OK);
  ASSERT_EQ(sub_->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&support)), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__Sub), S_OK);
  // A failure: its number in the HRESULT, its text in the error information.
  EXPECT_EQ(direct->Copy1(), MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 91));
  IErrorInfo* info = nullptr;
  BSTR source = nullptr, description = nullptr;
  ASSERT_EQ(GetErrorInfo(0, &info), S_OK);
  info->GetSource(&source);
  info->GetDescription(&description);
  info->Release();
  EXPECT_TRUE(std::wstring(source) == L"Kelvora.Sub" && wcsstr(description, L"(MainSheet)"));
  for (BSTR b : {source, description}) SysFreeString(b);
  // Sup with typed object variables; a success leaves no error information.
  auto state = NewTemplateState();
  IDispatch *app = NewFakeApplication(state), *book = NewFakeWorkbook(state);
  EXPECT_EQ(direct->Sup(&app, &book), S_OK);
  EXPECT_EQ(direct->Copy1(), S_OK);
  EXPECT_EQ(GetErrorInfo(0, &info), S_FALSE);
  for (IUnknown* p : std::initializer_list<IUnknown*>{app, book, support, direct}) p->Release();
}

}  // namespace
}  // namespace kelvora::testing
