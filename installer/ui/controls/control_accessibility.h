// The accessible object of a custom-drawn control: the control's standard
// object with its own role, name and value. Screen readers in other
// processes may keep references after the control is gone, so the object
// is reference counted and disconnected when the control is destroyed.
#ifndef INSTALLER_UI_CONTROLS_CONTROL_ACCESSIBILITY_H_
#define INSTALLER_UI_CONTROLS_CONTROL_ACCESSIBILITY_H_

#include <windows.h>

#include <string>

namespace lite_installer {

class AccessibleControlObject;

constexpr LONG kRolePushButton = 43;  // ROLE_SYSTEM_PUSHBUTTON
constexpr LONG kRoleLink = 30;        // ROLE_SYSTEM_LINK
constexpr LONG kRoleProgressBar = 48; // ROLE_SYSTEM_PROGRESSBAR

// Serves WM_GETOBJECT of one control for as long as it lives.
class ControlAccessibility {
 public:
  explicit ControlAccessibility(HWND control);
  ControlAccessibility(const ControlAccessibility&) = delete;
  ControlAccessibility& operator=(const ControlAccessibility&) = delete;
  // Disconnects the object: clients that still hold it get
  // CO_E_OBJNOTCONNECTED from then on.
  ~ControlAccessibility();

  void SetRole(LONG role);
  void SetName(const std::wstring& name);
  // Sets the accessible value and raises EVENT_OBJECT_VALUECHANGE.
  void SetValue(const std::wstring& value);

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message,
                                       WPARAM wparam, LPARAM lparam,
                                       UINT_PTR id, DWORD_PTR data);
  HWND control_;
  AccessibleControlObject* object_;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_CONTROLS_CONTROL_ACCESSIBILITY_H_
