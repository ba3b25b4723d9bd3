#include "installer/main/ui_environment.h"

#include <commctrl.h>
#include <objbase.h>

#include <cstdint>

namespace lite_installer {
namespace {

// The flat GDI+ start-up interface (gdiplus.dll), declared here so that the
// C++ wrapper headers are not needed.
struct GdiplusStartupInput {
  uint32_t GdiplusVersion;
  void* DebugEventCallback;
  BOOL SuppressBackgroundThread;
  BOOL SuppressExternalCodecs;
};

}  // namespace
}  // namespace lite_installer

extern "C" {
int WINAPI GdiplusStartup(ULONG_PTR* token,
                          const lite_installer::GdiplusStartupInput* input,
                          void* output);
void WINAPI GdiplusShutdown(ULONG_PTR token);
}

namespace lite_installer {

UiEnvironment::UiEnvironment() {
  com_initialized_ = SUCCEEDED(::CoInitialize(nullptr));
  // Loads user32's window machinery before any dialog is created.
  ::DefWindowProcW(nullptr, WM_NULL, 0, 0);
  INITCOMMONCONTROLSEX controls = {sizeof(controls),
                                   ICC_LINK_CLASS | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  GdiplusStartupInput input = {1, nullptr, FALSE, FALSE};
  if (GdiplusStartup(&gdiplus_token_, &input, nullptr) != 0)
    gdiplus_token_ = 0;
}

UiEnvironment::~UiEnvironment() {
  if (gdiplus_token_) GdiplusShutdown(gdiplus_token_);
  if (com_initialized_) ::CoUninitialize();
}

}  // namespace lite_installer
