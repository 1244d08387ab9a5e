#include "component/win32/platform_win32.h"

#include <windows.h>
#include <oleauto.h>

#include "outside/win32/variant_value.h"
#include "viewer/win32/live_message_window.h"

namespace component {

Text VariantValueFormat::TextOf(const Value& value) {
  if (const Text* text = value.AsText()) return *text;
  if (value.IsNull() || value.IsEmpty()) return Text();
  VARIANT in, out;
  outside::ToVariant(value, in);
  VariantInit(&out);
  HRESULT hr = VariantChangeTypeEx(&out, &in, LOCALE_USER_DEFAULT, 0, VT_BSTR);
  VariantClear(&in);
  if (FAILED(hr)) throw outside::ErrorFromResult(hr);
  Text text(reinterpret_cast<const char16_t*>(V_BSTR(&out)), SysStringLen(V_BSTR(&out)));
  VariantClear(&out);
  return text;
}

int Win32MessageBoxes::Show(TextView text, TextView title, uint32_t style) {
  Text body(text), caption(title);
  return MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(body.c_str()),
                     reinterpret_cast<const wchar_t*>(caption.c_str()), style | MB_TASKMODAL);
}

Value::Date LocalClock::Now() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  now.wMilliseconds = 0;  // the text form shows whole seconds
  double serial = 0;
  SystemTimeToVariantTime(&now, &serial);
  return {serial};
}

namespace {

class MutexGuard : public CrossProcessLocks::Guard {
 public:
  explicit MutexGuard(HANDLE mutex) : mutex_(mutex) {}
  ~MutexGuard() override {
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

}  // namespace

std::unique_ptr<CrossProcessLocks::Guard> NamedMutexLocks::Acquire(TextView name) {
  Text full = u"Local\\" + Text(name);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, reinterpret_cast<const wchar_t*>(full.c_str()));
  if (!mutex) throw outside::ErrorFromResult(HRESULT_FROM_WIN32(GetLastError()));
  DWORD waited = WaitForSingleObject(mutex, INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    CloseHandle(mutex);
    throw outside::ErrorFromResult(HRESULT_FROM_WIN32(GetLastError()));
  }
  return std::make_unique<MutexGuard>(mutex);
}

std::unique_ptr<LiveMessageWindow> Win32WindowFactory::CreateLiveMessageWindow() {
  return std::make_unique<viewer::LiveMessageWindowWin32>();
}

}  // namespace component
