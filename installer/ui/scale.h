// The display scale factor: every layout value is in 96-DPI units and is
// multiplied by it before use.
#ifndef INSTALLER_UI_SCALE_H_
#define INSTALLER_UI_SCALE_H_

#include <windows.h>

#include <string>

namespace lite_installer {

// The largest factor "force-device-scale-factor" may ask for.
constexpr double kMaxForcedScaleFactor = 8.0;

// The value of "force-device-scale-factor" when it is a decimal number with
// 0 < f <= 8 and nothing after it; otherwise false.
bool ParseForcedScaleFactor(const std::wstring& text, double* factor);
// The forced factor when it is acceptable, otherwise |screen_dpi| / 96.
double ComputeScaleFactor(const std::wstring& forced_text, int screen_dpi);

// Computed once, from the process's command line and the screen's
// LOGPIXELSX, on first use; the window thread asks first (before it starts
// any other thread), every later caller reads the cached value.
double GetScaleFactor();
// Truncation of |value| × the factor.
int Scale(int value);
RECT ScaleRect(const RECT& rect);

}  // namespace lite_installer

#endif  // INSTALLER_UI_SCALE_H_
