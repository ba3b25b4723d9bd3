// The window framework every installer window is built on: a window handle
// bound to an object with virtual message handling, modal dialogs from
// templates, dragging a borderless window by its surface, and centring.
#ifndef INSTALLER_UI_DIALOG_WINDOW_H_
#define INSTALLER_UI_DIALOG_WINDOW_H_

#include <windows.h>

#include <string>

namespace lite_installer {

// The registered message a dragged window's object receives after every
// move (wParam and lParam of the mouse message), so that its owner can move
// companion windows such as the shadow.
constexpr wchar_t kMoveWindowMessageName[] = L"kelvra.lite.move_window";

class DialogWindow {
 public:
  DialogWindow();
  DialogWindow(const DialogWindow&) = delete;
  DialogWindow& operator=(const DialogWindow&) = delete;
  virtual ~DialogWindow();

  // Returns true when the message was handled; |result| is then what the
  // window procedure returns.
  virtual bool HandleMessage(HWND window, UINT message, WPARAM wparam,
                             LPARAM lparam, LRESULT* result) = 0;
  virtual int GetDialogTemplateId() const { return 0; }

  // Binds |window| to this object and gives it the shared window procedure.
  bool Attach(HWND window);
  // Restores the previous procedure (when the window still exists) and
  // unbinds the window.
  void Detach();
  // CreateWindowExW (class "Static" when |class_name| is null), then Attach.
  HWND CreateChildWindow(HWND parent, const RECT& rect, const wchar_t* title,
                         DWORD style, DWORD ex_style,
                         const wchar_t* class_name, void* param);
  // Runs the dialog of GetDialogTemplateId modally over |owner| (the active
  // window when null); returns the dialog's result.
  INT_PTR RunModal(HWND owner);
  void SetItemText(int control_id, int string_id, int language_id);
  void SetItemTextDirect(int control_id, const std::wstring& text);
  // Centres the window over |owner| (its parent or owner when null) within
  // the work area of the nearest monitor, or within the parent's client
  // area for a child window.
  void CenterWindow(HWND owner);

  HWND hwnd() const { return hwnd_; }
  UINT move_message() const { return move_message_; }
  bool dragging() const { return dragging_; }

  // The object bound to |window|, or null.
  static DialogWindow* FromHandle(HWND window);

 protected:
  // The window procedure this object replaced, for handlers that act after
  // the default handling.
  LRESULT CallPreviousProc(HWND window, UINT message, WPARAM wparam,
                           LPARAM lparam);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam,
                                     LPARAM lparam);
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam,
                                     LPARAM lparam);
  void OnDragStart(HWND window, LPARAM lparam);
  void OnDragMove(HWND window, WPARAM wparam, LPARAM lparam);
  void OnDragEnd(bool release_capture);

  HWND hwnd_ = nullptr;
  WNDPROC previous_proc_ = nullptr;
  bool dragging_ = false;
  POINT drag_point_ = {0, 0};
  UINT move_message_ = 0;
};

// The origin that centres a window of |size| on |center| and keeps it
// inside |limit| (left and top edges win over right and bottom).
POINT CenteredOrigin(SIZE size, const RECT& center, const RECT& limit);

}  // namespace lite_installer

#endif  // INSTALLER_UI_DIALOG_WINDOW_H_
