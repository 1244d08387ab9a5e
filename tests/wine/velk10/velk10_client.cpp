#include "velk10_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace velk10_test {

namespace {

const wchar_t kKestrelon[] = L"Software\\VB and VBA Program Settings\\Kestrelon";
const wchar_t kDebugger[] = L"Software\\VB and VBA Program Settings\\Kestrelon\\Debugger\\";

// The tests run in one single-threaded apartment.
class ComApartment : public testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK); }
  void TearDown() override { CoUninitialize(); }
};
testing::Environment* const kApartment = testing::AddGlobalTestEnvironment(new ComApartment);

}  // namespace

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40];
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring ClassesValue(const std::wstring& key, const wchar_t* name) {
  wchar_t buffer[1024];
  DWORD size = sizeof buffer;
  if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
    return L"<absent>";
  return buffer;
}

std::wstring DllPath() { return ClassesValue(L"CLSID\\" + GuidText(CLSID_clsVELKDebuggerA) + L"\\InprocServer32"); }

std::wstring NowText() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  now.wMilliseconds = 0;
  VARIANT date, text;
  VariantInit(&date);
  VariantInit(&text);
  V_VT(&date) = VT_DATE;
  SystemTimeToVariantTime(&now, &V_DATE(&date));
  if (FAILED(VariantChangeTypeEx(&text, &date, LOCALE_USER_DEFAULT, 0, VT_BSTR))) return L"<no date>";
  std::wstring out(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
  VariantClear(&text);
  return out;
}

// --- LateDebugger -----------------------------------------------------------------

LateDebugger::LateDebugger() {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(kDebuggerProgId, &clsid))) return;
  CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, dispatch_.put_void());
}

Outcome LateDebugger::Invoke(DISPID id, WORD flags, std::vector<Arg> args) const {
  Outcome out;
  // rgvarg: named arguments first (in the order of their ids), then the positional
  // ones from the last to the first.
  std::vector<VARIANTARG> values;
  std::vector<DISPID> named_ids;
  std::vector<const Arg*> positional;
  for (const Arg& arg : args) {
    if (!arg.name) {
      positional.push_back(&arg);
      continue;
    }
    DISPID ids[2] = {DISPID_UNKNOWN, DISPID_UNKNOWN};
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"AddDebugMessage"), const_cast<LPOLESTR>(arg.name)};
    HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids);
    if (FAILED(hr)) {
      out.hr = hr;
      return out;
    }
    values.push_back(arg.value);
    named_ids.push_back(ids[1]);
  }
  for (auto it = positional.rbegin(); it != positional.rend(); ++it) values.push_back((*it)->value);
  DISPPARAMS params{values.data(), named_ids.empty() ? nullptr : named_ids.data(), static_cast<UINT>(values.size()),
                    static_cast<UINT>(named_ids.size())};
  EXCEPINFO exception{};
  out.hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, out.result.get(), &exception,
                             &out.arg_error);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrHelpFile);
  return out;
}

HRESULT LateDebugger::SetAppObj(IDispatch* app) const {
  VARIANT value;
  V_VT(&value) = VT_DISPATCH;
  V_DISPATCH(&value) = app;
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &put, 1, 1};
  return dispatch_->Invoke(kAppObjId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUTREF, &params, nullptr, nullptr,
                           nullptr);
}

winkit::ComPtr<IDispatch> LateDebugger::AppObj() const {
  Outcome got = Invoke(kAppObjId, DISPATCH_PROPERTYGET);
  EXPECT_EQ(got.hr, S_OK);
  winkit::ComPtr<IDispatch> app;
  if (V_VT(got.result.get()) != VT_DISPATCH) {
    ADD_FAILURE() << "AppObj gave vt " << V_VT(got.result.get());
    return app;
  }
  app = V_DISPATCH(got.result.get());
  return app;
}


// --- Sandbox ------------------------------------------------------------------------

namespace {

// Empties the settings sections that the DLL uses. The keys themselves stay: the DLL
// keeps them open and is told when their values change, which a deleted and recreated
// key does not do under Wine.
void ClearSettings() {
  for (const wchar_t* section : {L"DebuggerA", L"DebuggerAReport", L"DebuggerAReportCo"}) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, (std::wstring(kDebugger) + section).c_str(), 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
      continue;
    RegDeleteTreeW(key, nullptr);  // its values and subkeys
    RegCloseKey(key);
  }
}

}  // namespace

void DeleteSettingsTree() { RegDeleteTreeW(HKEY_CURRENT_USER, kKestrelon); }

Sandbox::Sandbox() {
  ClearSettings();
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  folder_ = std::wstring(temp) + L"velk10-client-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetCurrentThreadId());
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
  std::filesystem::create_directories(folder_);
  SetEnvironmentVariableW(L"QVSUPPORT", folder_.c_str());
}

Sandbox::~Sandbox() {
  ClearSettings();
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void Sandbox::Store(const wchar_t* key, const wchar_t* text) const {
  const std::wstring path = std::wstring(kDebugger) + L"DebuggerA";
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), key, REG_SZ, text,
                            static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS);
}

void Sandbox::Switches(bool shell, bool window, bool registry) const {
  Store(L"DebuggerShell", shell ? L"1" : L"0");
  Store(L"DebuggerWindow", window ? L"1" : L"0");
  Store(L"DebuggerRegistry", registry ? L"1" : L"0");
}

void Sandbox::Accept(const wchar_t* level) const {
  Store(L"DebuggerAEnabledLevel", level);
  Store(L"DebuggerAEnabledDLL", L"1");
  Store(L"DebuggerAEnabledOCX", L"1");
  Store(L"DebuggerAEnabledEXE", L"1");
}

std::wstring Sandbox::Profile(const wchar_t* section, const wchar_t* key) const {
  std::vector<wchar_t> buffer(8192);
  GetPrivateProfileStringW(section, key, L"<none>", buffer.data(), static_cast<DWORD>(buffer.size()),
                           ReportPath().c_str());
  return buffer.data();
}

std::vector<std::wstring> Sandbox::Entries() const {
  std::vector<std::wstring> out;
  const std::wstring counter = Profile(L"DebuggerA", L"Counter");
  if (counter == L"<none>") return out;
  const long count = std::wcstol(counter.c_str(), nullptr, 10);
  for (long i = 0; i < count; ++i) out.push_back(Profile(L"DebuggerAReport", std::to_wstring(i).c_str()));
  return out;
}

std::wstring Sandbox::Logged(const wchar_t* section, const wchar_t* key) const {
  const std::wstring path = std::wstring(kDebugger) + section;
  std::vector<wchar_t> buffer(8192);
  DWORD size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), key, RRF_RT_REG_SZ, nullptr, buffer.data(), &size) !=
      ERROR_SUCCESS)
    return L"<none>";
  return buffer.data();
}

Line Parse(const std::wstring& text) {
  Line line;
  size_t digits = 0;
  while (digits < text.size() && iswdigit(text[digits])) ++digits;
  if (digits == 0) return line;
  line.number = std::wcstol(text.substr(0, digits).c_str(), nullptr, 10);
  const size_t last = text.rfind(L" > ");
  if (last == std::wstring::npos || last < digits) return line;
  line.body = text.substr(digits, last - digits);
  line.when = text.substr(last + 3);
  return line;
}

// --- AppObject ----------------------------------------------------------------------

namespace {
const wchar_t* const kAppProperties[] = {L"ProductName", L"Title", L"Major", L"Minor"};
}

AppObject::AppObject(std::wstring product, std::wstring title, long major, long minor,
                     std::vector<std::wstring> lacking)
    : product_(std::move(product)), title_(std::move(title)), major_(major), minor_(minor),
      lacking_(std::move(lacking)) {}

HRESULT AppObject::QueryInterface(REFIID riid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG AppObject::Release() {
  LONG refs = InterlockedDecrement(&refs_);
  if (refs == 0) delete this;
  return refs;
}

HRESULT AppObject::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT AppObject::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  HRESULT hr = S_OK;
  for (UINT n = 0; n < count; ++n) {
    ids[n] = DISPID_UNKNOWN;
    for (DISPID id = 0; id < 4; ++id) {
      if (_wcsicmp(names[n], kAppProperties[id]) != 0) continue;
      if (std::find(lacking_.begin(), lacking_.end(), kAppProperties[id]) == lacking_.end()) ids[n] = id + 1;
    }
    if (ids[n] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

HRESULT AppObject::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                          UINT*) {
  if (id < 1 || id > 4) return DISP_E_MEMBERNOTFOUND;
  if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
  if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
  reads_.push_back(kAppProperties[id - 1]);
  if (!result) return S_OK;
  VariantInit(result);
  switch (id) {
    case 1:
      V_VT(result) = VT_BSTR;
      V_BSTR(result) = SysAllocString(product_.c_str());
      break;
    case 2:
      V_VT(result) = VT_BSTR;
      V_BSTR(result) = SysAllocString(title_.c_str());
      break;
    default:  // Major and Minor are Integers, as an application object gives them
      V_VT(result) = VT_I2;
      V_I2(result) = static_cast<SHORT>(id == 3 ? major_ : minor_);
      break;
  }
  return S_OK;
}

// --- Threads and message boxes ------------------------------------------------------

void OnNewApartment(const std::function<void()>& body) {
  struct Start {
    const std::function<void()>* body;
    static DWORD WINAPI Run(void* p) {
      HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      EXPECT_EQ(hr, S_OK);
      (*static_cast<Start*>(p)->body)();
      if (SUCCEEDED(hr)) CoUninitialize();
      return 0;
    }
  } start{&body};
  HANDLE thread = CreateThread(nullptr, 0, &Start::Run, &start, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_EQ(WaitForSingleObject(thread, 120000), WAIT_OBJECT_0);
  CloseHandle(thread);
}

MessageBoxWatcher::MessageBoxWatcher(std::wstring title) : title_(std::move(title)) {
  thread_ = CreateThread(nullptr, 0, &MessageBoxWatcher::Run, this, 0, nullptr);
}

MessageBoxWatcher::~MessageBoxWatcher() { Wait(); }

std::wstring MessageBoxWatcher::Wait() {
  if (thread_) {
    WaitForSingleObject(thread_, 60000);
    CloseHandle(thread_);
    thread_ = nullptr;
  }
  return text_;
}

DWORD WINAPI MessageBoxWatcher::Run(void* p) {
  auto* self = static_cast<MessageBoxWatcher*>(p);
  HWND box = nullptr;
  for (int i = 0; i < 600 && !box; ++i) {  // up to 30 s
    box = wine_test::FindOwnWindow(L"#32770", self->title_.c_str());
    if (!box) Sleep(50);
  }
  if (!box) return 0;
  Sleep(100);  // let the box finish its layout
  wchar_t text[1024] = {};
  GetDlgItemTextW(box, 0xFFFF, text, 1024);  // the message box's text control
  self->text_ = text;
  int buttons = 0;
  for (int id = IDOK; id <= IDCONTINUE; ++id) {
    HWND button = GetDlgItem(box, id);
    if (button && IsWindowVisible(button)) ++buttons;
  }
  self->ok_only_ = buttons == 1 && GetDlgItem(box, IDOK) && IsWindowVisible(GetDlgItem(box, IDOK));
  HWND icon = GetDlgItem(box, 0x0440);
  self->warning_icon_ = icon && reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0)) ==
                                    LoadIconW(nullptr, IDI_EXCLAMATION);
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  return 0;
}

}  // namespace velk10_test
