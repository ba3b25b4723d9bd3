// Reads controls' accessible objects from another process, as a screen
// reader does. usage:
//   accessibility_probe.exe HWND...        one line per window:
//       "HWND role=R name=N value=V" (UTF-8; HRESULTs in hex on failure)
//   accessibility_probe.exe --hold HWND PARENT ID
//       keeps the object of HWND, asks PARENT to destroy control ID
//       (WM_APP + 1), waits until the window is gone and calls the object
//       again: "after name=0x... role=0x..."
//   accessibility_probe.exe --value-events HWND PARENT PERCENT
//       listens (out of context) for EVENT_OBJECT_VALUECHANGE from the
//       process of HWND, asks PARENT to set its progress bars to PERCENT
//       (WM_APP + 2) and prints "hooked", then one line per event:
//       "event HWND object=O child=C value=V" (V read back through the
//       event's object); ends after the first event for HWND, or after
//       30 seconds without one.
#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

// IID_IAccessible, spelled out: the import library carries the name as a
// function import.
constexpr IID kIidAccessible = {
    0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

std::string Utf8(const wchar_t* text) {
  if (!text) return "";
  int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr,
                                 nullptr);
  std::string out(size > 0 ? size - 1 : 0, '\0');
  if (size > 1)
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
  return out;
}

HWND ParseWindow(const wchar_t* text) {
  return reinterpret_cast<HWND>(
      static_cast<UINT_PTR>(std::wcstoull(text, nullptr, 10)));
}

IAccessible* ObjectOf(HWND window) {
  IAccessible* object = nullptr;
  HRESULT hr = AccessibleObjectFromWindow(
      window, static_cast<DWORD>(OBJID_CLIENT), kIidAccessible,
      reinterpret_cast<void**>(&object));
  if (FAILED(hr)) {
    std::printf("%llu error=0x%08lx\n",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)),
                static_cast<unsigned long>(hr));
    return nullptr;
  }
  return object;
}

void Describe(HWND window, IAccessible* object) {
  VARIANT self;
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  VARIANT role;
  VariantInit(&role);
  BSTR name = nullptr;
  BSTR value = nullptr;
  HRESULT role_hr = object->get_accRole(self, &role);
  object->get_accName(self, &name);
  object->get_accValue(self, &value);
  std::printf("%llu role=%ld name=%s value=%s\n",
              static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)),
              SUCCEEDED(role_hr) && role.vt == VT_I4 ? role.lVal : -1L,
              Utf8(name).c_str(), Utf8(value).c_str());
  SysFreeString(name);
  SysFreeString(value);
}

// The window whose value events end the listening, and whether one came.
HWND g_watched = nullptr;
bool g_watched_seen = false;

void CALLBACK OnValueChange(HWINEVENTHOOK, DWORD event, HWND window,
                            LONG object_id, LONG child_id, DWORD, DWORD) {
  if (event != EVENT_OBJECT_VALUECHANGE) return;
  IAccessible* object = nullptr;
  VARIANT child;
  VariantInit(&child);
  BSTR value = nullptr;
  if (SUCCEEDED(AccessibleObjectFromEvent(window, object_id, child_id,
                                          &object, &child)) && object) {
    object->get_accValue(child, &value);
    object->Release();
  }
  VariantClear(&child);
  std::printf("event %llu object=%ld child=%ld value=%s\n",
              static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)),
              static_cast<long>(object_id), static_cast<long>(child_id),
              Utf8(value).c_str());
  std::fflush(stdout);
  SysFreeString(value);
  if (window == g_watched) g_watched_seen = true;
}

int ListenForValueEvents(HWND window, HWND parent, WPARAM percent) {
  DWORD process = 0;
  if (!GetWindowThreadProcessId(window, &process)) return 1;
  HWINEVENTHOOK hook = SetWinEventHook(
      EVENT_OBJECT_VALUECHANGE, EVENT_OBJECT_VALUECHANGE, nullptr,
      &OnValueChange, process, 0, WINEVENT_OUTOFCONTEXT);
  if (!hook) {
    std::printf("hook error=%lu\n", GetLastError());
    return 1;
  }
  std::printf("hooked\n");
  std::fflush(stdout);
  PostMessageW(parent, WM_APP + 2, percent, 0);
  // Out-of-context events arrive as messages of this thread.
  DWORD start = GetTickCount();
  while (!g_watched_seen && GetTickCount() - start < 30000) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&message);
  }
  UnhookWinEvent(hook);
  return g_watched_seen ? 0 : 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  CoInitialize(nullptr);
  if (argc == 5 && std::wstring(argv[1]) == L"--hold") {
    HWND window = ParseWindow(argv[2]);
    HWND parent = ParseWindow(argv[3]);
    IAccessible* object = ObjectOf(window);
    if (!object) return 1;
    Describe(window, object);
    PostMessageW(parent, WM_APP + 1, std::wcstoul(argv[4], nullptr, 10), 0);
    for (int i = 0; i < 200 && IsWindow(window); ++i) Sleep(50);
    std::printf("gone=%d\n", IsWindow(window) ? 0 : 1);
    VARIANT self;
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    VARIANT role;
    VariantInit(&role);
    HRESULT name_hr = object->get_accName(self, &name);
    HRESULT role_hr = object->get_accRole(self, &role);
    std::printf("after name=0x%08lx role=0x%08lx\n",
                static_cast<unsigned long>(name_hr),
                static_cast<unsigned long>(role_hr));
    SysFreeString(name);
    object->Release();
    std::fflush(stdout);
    return 0;
  }
  if (argc == 5 && std::wstring(argv[1]) == L"--value-events") {
    g_watched = ParseWindow(argv[2]);
    return ListenForValueEvents(g_watched, ParseWindow(argv[3]),
                                std::wcstoul(argv[4], nullptr, 10));
  }
  for (int i = 1; i < argc; ++i) {
    HWND window = ParseWindow(argv[i]);
    IAccessible* object = ObjectOf(window);
    if (!object) continue;
    Describe(window, object);
    object->Release();
  }
  std::fflush(stdout);
  return 0;
}
