#include "installer/ui/scale.h"

#include <cmath>
#include <cwchar>

#include "installer/lite_util/logging/log.h"
#include "installer/main/command_line.h"

namespace lite_installer {
namespace {

int ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  if (!screen) return 96;
  int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

double ComputeProcessScaleFactor() {
  std::wstring forced = CommandLine::ForCurrentProcess().GetSwitchValueNative(
      "force-device-scale-factor");
  double value = ComputeScaleFactor(forced, ScreenDpi());
  LOG(INFO) << "Display scale factor: "
            << static_cast<int>(std::lround(value * 1000)) << "/1000";
  return value;
}

}  // namespace

bool ParseForcedScaleFactor(const std::wstring& text, double* factor) {
  if (text.empty()) return false;
  const wchar_t* begin = text.c_str();
  wchar_t* end = nullptr;
  double value = std::wcstod(begin, &end);
  if (end == begin || *end != L'\0') return false;
  // Rejects NaN too: every comparison with it is false.
  if (!(value > 0.0 && value <= kMaxForcedScaleFactor)) return false;
  *factor = value;
  return true;
}

double ComputeScaleFactor(const std::wstring& forced_text, int screen_dpi) {
  double factor = 0;
  if (ParseForcedScaleFactor(forced_text, &factor)) return factor;
  return (screen_dpi > 0 ? screen_dpi : 96) / 96.0;
}

double GetScaleFactor() {
  // Thread-safe initialisation; the window thread asks first.
  static const double factor = ComputeProcessScaleFactor();
  return factor;
}

int Scale(int value) { return static_cast<int>(value * GetScaleFactor()); }

RECT ScaleRect(const RECT& rect) {
  return {Scale(rect.left), Scale(rect.top), Scale(rect.right),
          Scale(rect.bottom)};
}

}  // namespace lite_installer
