// COM, common controls and GDI+ for the life of an interactive run.
#ifndef INSTALLER_MAIN_UI_ENVIRONMENT_H_
#define INSTALLER_MAIN_UI_ENVIRONMENT_H_

#include <windows.h>

namespace lite_installer {

class UiEnvironment {
 public:
  UiEnvironment();
  UiEnvironment(const UiEnvironment&) = delete;
  UiEnvironment& operator=(const UiEnvironment&) = delete;
  ~UiEnvironment();

 private:
  ULONG_PTR gdiplus_token_ = 0;
  bool com_initialized_ = false;
};

}  // namespace lite_installer

#endif  // INSTALLER_MAIN_UI_ENVIRONMENT_H_
