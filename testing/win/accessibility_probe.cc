// Reads controls' accessible objects from another process, as a screen
// reader does. usage:
//   accessibility_probe.exe HWND...        one line per window:
//       "HWND role=R name=N value=V" (UTF-8; HRESULTs in hex on failure)
//   accessibility_probe.exe --hold HWND PARENT ID
//       keeps the object of HWND, asks PARENT to destroy control ID
//       (WM_APP + 1), waits until the window is gone and calls the object
//       again: "after name=0x... role=0x..."
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
