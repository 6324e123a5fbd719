#include "connect_object.h"

#include <new>
#include <utility>

#include "call_guard.h"
#include "entry/binding.h"
#include "excel/excel_host.h"
#include "module.h"
#include "text/utf.h"
#include "workbook_check.h"

namespace kelvora::com {

namespace {

// The title of every message of the tab.
constexpr char16_t kCaption[] = u"Thông Báo";
// The template "Sổ mới" opens, in the package folder.
constexpr wchar_t kTemplateName[] = L"Kelvora.xlsx";

void Show(const std::u16string& text, UINT icon) noexcept {
  try {
    host::excel::WindowsMessageBox().Show(text, kCaption, static_cast<int32_t>(MB_OK | icon));
  } catch (...) {
    // Nothing is left to tell the user with.
  }
}

void ShowFailure(const CallFailure& failure) noexcept {
  try {
    Show(u"Lỗi " + Utf8ToUtf16(std::to_string(failure.number)) + u": " +
             Utf8ToUtf16(failure.description),
         MB_ICONERROR);
  } catch (...) {
  }
}

// The binding of one click. Bind replaces the thread's binding (a
// workbook's macros may hold one) by the active workbook's; the destructor
// releases it as destroying a Sub does and puts the earlier one back.
class ClickBinding {
 public:
  ClickBinding()
      : saved_(std::exchange(CurrentHostState().book, host::BoundBook{})),
        saved_paste_failed_(std::exchange(CurrentHostState().paste_failed, false)) {}
  ~ClickBinding() {
    HostState& s = CurrentHostState();
    ReleaseWorkbook(s.book);
    s.book = std::move(saved_);
    s.paste_failed = saved_paste_failed_;
  }
  ClickBinding(const ClickBinding&) = delete;
  ClickBinding& operator=(const ClickBinding&) = delete;

  void Bind(IDispatch* app, IDispatch* book) {
    HostState& s = CurrentHostState();
    s.book.ExcelApp = host::excel::WrapApplication(app);
    s.book.ThisWorkBook = host::excel::WrapWorkbook(book);
    BindWorkbook(s.book, s.platform.locale);
  }

 private:
  host::BoundBook saved_;
  bool saved_paste_failed_;
};

// The folder of the package: the parent of the x64 or x86 folder that holds
// this DLL.
std::wstring TemplatePath() {
  std::wstring path = ModulePath();
  for (int up = 0; up < 2; ++up) {
    const size_t slash = path.find_last_of(L"\\/");
    path.resize(slash == std::wstring::npos ? 0 : slash);
  }
  return path + L"\\" + kTemplateName;
}

}  // namespace

ConnectObject::ConnectObject() { ++g_objects; }

ConnectObject::~ConnectObject() {
  ReleaseApplication();
  --g_objects;
}

HRESULT ConnectObject::Create(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  auto* obj = new (std::nothrow) ConnectObject();
  if (obj == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = obj->QueryInterface(riid, out);
  obj->Release();
  return hr;
}

HRESULT ConnectObject::QueryInterface(REFIID riid, void** out) {
  if (out == nullptr) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidDTExtensibility2) {
    *out = static_cast<IDTExtensibility2*>(this);
  } else if (riid == kIidRibbonExtensibility) {
    *out = static_cast<IRibbonExtensibility*>(this);
  } else {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG ConnectObject::AddRef() { return ++refs_; }

ULONG ConnectObject::Release() {
  const ULONG n = --refs_;
  if (n == 0) delete this;
  return n;
}

HRESULT ConnectObject::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT ConnectObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT ConnectObject::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  if (names[0] == nullptr) return DISP_E_UNKNOWNNAME;
  try {
    const std::string name = Utf16ToUtf8(reinterpret_cast<const char16_t*>(names[0]));
    const RibbonButton* button = FindRibbonButton(name);
    if (button == nullptr) return DISP_E_UNKNOWNNAME;
    ids[0] = static_cast<DISPID>(button - RibbonButtons().data() + 1);
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  // The callbacks' parameter has no name to call it by.
  return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
}

HRESULT ConnectObject::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO*, UINT* arg_err) {
  if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
  const auto buttons = RibbonButtons();
  if (id < 1 || static_cast<size_t>(id) > buttons.size()) return DISP_E_MEMBERNOTFOUND;
  if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
  if (params == nullptr) return E_INVALIDARG;
  if (params->cNamedArgs != 0) {
    if (arg_err != nullptr) *arg_err = 0;
    return DISP_E_NONAMEDARGS;
  }
  if (params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
  if (result != nullptr) VariantInit(result);
  Click(buttons[static_cast<size_t>(id - 1)]);
  return S_OK;
}

HRESULT ConnectObject::OnConnection(IDispatch* Application, ext_ConnectMode, IDispatch*,
                                    SAFEARRAY**) {
  if (Application == nullptr) return E_POINTER;
  Application->AddRef();
  ReleaseApplication();
  app_ = Application;
  return S_OK;
}

HRESULT ConnectObject::OnDisconnection(ext_DisconnectMode, SAFEARRAY**) {
  ReleaseApplication();
  return S_OK;
}

HRESULT ConnectObject::OnAddInsUpdate(SAFEARRAY**) { return S_OK; }

HRESULT ConnectObject::OnStartupComplete(SAFEARRAY**) { return S_OK; }

HRESULT ConnectObject::OnBeginShutdown(SAFEARRAY**) {
  ReleaseApplication();
  return S_OK;
}

HRESULT ConnectObject::GetCustomUI(BSTR RibbonID, BSTR* RibbonXml) {
  if (RibbonXml == nullptr) return E_POINTER;
  *RibbonXml = nullptr;
  try {
    const std::u16string id(reinterpret_cast<const char16_t*>(RibbonID),
                            RibbonID == nullptr ? 0 : SysStringLen(RibbonID));
    const std::u16string markup = id == kExcelRibbonId ? Utf8ToUtf16(RibbonMarkup()) : u"";
    *RibbonXml = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(markup.data()),
                                   static_cast<UINT>(markup.size()));
  } catch (...) {
    return E_OUTOFMEMORY;
  }
  return *RibbonXml == nullptr ? E_OUTOFMEMORY : S_OK;
}

void ConnectObject::Click(const RibbonButton& button) noexcept {
  std::optional<std::u16string> refusal;
  const std::optional<CallFailure> failure = RunGuarded([&] {
    switch (button.action) {
      case RibbonAction::kCommand: {
        const Command* command = FindCommand(button.callback);
        if (command == nullptr) ThrowHostRefused("No command " + std::string(button.callback));
        const host::excel::DispatchPtr book = ActiveWorkbook(app_);
        refusal = ShapeRefusal(book.get());
        if (refusal) return;
        ClickBinding binding;
        binding.Bind(app_, book.get());
        const CallPlatform platform;  // the clipboard now owned by the bound Excel
        RunOnThreadState(command->run);
        return;
      }
      case RibbonAction::kCheckWorkbook:
        refusal = ShapeRefusal(ActiveWorkbook(app_).get());
        if (!refusal) Show(ShapeConfirmation(), MB_ICONINFORMATION);
        return;
      case RibbonAction::kNewWorkbook:
        NewWorkbook();
        return;
    }
  });
  if (refusal) Show(*refusal, MB_ICONEXCLAMATION);
  if (failure) ShowFailure(*failure);
}

void ConnectObject::NewWorkbook() {
  if (app_ == nullptr) ThrowObjectRequired("Application");
  const std::wstring path = TemplatePath();
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    Show(u"Không tìm thấy mẫu sổ tính của Kelvora: " + std::u16string(path.begin(), path.end()) +
             u"\n\nHãy cài lại Kelvora.",
         MB_ICONEXCLAMATION);
    return;
  }
  const host::excel::Variant books = host::excel::Call(app_, L"Workbooks");
  std::vector<host::excel::Variant> args;
  args.push_back(host::excel::Variant::Text(std::u16string(path.begin(), path.end())));
  host::excel::Call(books.AsDispatch().get(), L"Add", std::move(args));
}

void ConnectObject::ReleaseApplication() {
  if (app_ != nullptr) std::exchange(app_, nullptr)->Release();
}

}  // namespace kelvora::com
