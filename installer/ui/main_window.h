// The installer's main window: a borderless, custom-drawn modal dialog with
// a first screen (the user's choices and the Install button) and a progress
// screen (slide show, progress bar), in the Origin or the Facetune variant.
// It owns the Installer, starts it at construction and turns its callbacks
// and the setup's registered messages into progress, dialogs and its end.
#ifndef INSTALLER_UI_MAIN_WINDOW_H_
#define INSTALLER_UI_MAIN_WINDOW_H_

#include <windows.h>
#include <shobjidl.h>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "installer/brand/predetermined_choices.h"
#include "installer/install/installer_delegate.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/ui/dialog_window.h"
#include "installer/ui/installation_window_layout.h"
#include "installer/ui/installation_window_style.h"
#include "installer/ui/resource_bitmap.h"
#include "installer/ui/shadow_window.h"

namespace lite_installer {

class BrandInfo;
class ConfirmCancelDialog;
class CustomProgressBar;
class DistribInfoParams;
class ImageButton;
class ImageCheckBox;
class Installer;
class LinkLabel;
class SlideShow;

// The percent posted to the window, by the Installer and by the elevated
// copy of the installer (wParam = percent).
constexpr UINT kProgressMessage = WM_APP + 100;
// The Installer's other callbacks, queued and announced by this message so
// that only the window thread acts on windows.
constexpr UINT kDelegateEventsMessage = WM_APP + 101;
constexpr UINT_PTR kSlideTimerId = 100;
constexpr UINT kSlideTimerMs = 20;

class MainWindow : public DialogWindow, public InstallerDelegate {
 public:
  MainWindow(const BrandInfo* brand, const DistribInfoParams* distrib,
             bool with_installer);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;
  ~MainWindow() override;

  // 1: ended normally; 2: system close; 212: cancel confirmed during
  // installation; 213: first screen closed.
  int RunModal();
  // The window's installer, or null when it was built without one.
  Installer* installer() const { return installer_.get(); }

  // DialogWindow:
  int GetDialogTemplateId() const override { return 1001; }
  bool HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                     LRESULT* result) override;

  // InstallerDelegate, called on the Installer's thread:
  void OnDownloadProgress(float fraction) override;
  void OnSlowDownload() override {}
  void OnRemainingTime(int, int) override {}
  void OnFinished(bool success) override;
  void OnError(int result) override;
  HWND GetWindowHandle() override { return window_handle_.load(); }
  void SetProgress(int percent) override;
  void OnSetupStarted() override;

 private:
  enum class DelegateEvent { kFinished, kError, kSetupStarted };
  struct QueuedEvent {
    DelegateEvent kind;
    int value;
  };

  HWND Item(int id) const { return ::GetDlgItem(hwnd(), id); }
  LANGID language() const;

  // Initialisation and the two screens.
  void OnInitDialog();
  void AllowRegisteredMessages();
  void SetTexts();
  void CreateFonts();
  void SizeWindow();
  void CreateLicenseLine();
  void CreateControls();
  void LayoutFirstScreen();
  void LayoutCheckboxes();
  void PlaceCheckBox(ImageCheckBox* box, const RECT& layout_rect);
  void OnInstallClicked();
  void LayoutProgressDialog();
  void SetUpProgressScreen();
  void SwitchToProgressControls();
  void DestroyControls(int id);
  void PlaceAt(HWND control, POINT origin, SIZE size);
  void PlaceIn(HWND control, const RECT& layout_rect);

  // Messages.
  void OnCommand(WPARAM wparam);
  void OnSysCommand(WPARAM wparam);
  void OnProgress(int percent);
  void OnTimer();
  void OnPaint();
  // Test builds: logs "First complete paint done" once the window and
  // every visible control have painted (no update region left).
  void LogFirstCompletePaint();
  void OnDrawItem(const DRAWITEMSTRUCT& draw);
  void DrawItem(const DRAWITEMSTRUCT& draw);
  LRESULT OnCustomDraw(const NMCUSTOMDRAW& draw);
  LRESULT CustomDraw(const NMCUSTOMDRAW& draw);
  bool OnRegisteredMessage(UINT message, WPARAM wparam, LRESULT* result);
  void OnCloseWindow();
  void OnNewerVersion(int heading_id, int text_id);
  void OnDelegateEvents();
  void ShowError(int code);
  void RunConfirmCancel();
  void EndMainDialog(int result);
  void HideWindows();
  void OpenLink(const std::wstring& url);
  const ResourceBitmap& CurrentBackground() const;

  void QueueEvent(DelegateEvent kind, int value);
  static LRESULT CALLBACK KeyboardHook(int code, WPARAM wparam, LPARAM lparam);

  const BrandInfo* brand_;
  const DistribInfoParams* distrib_;
  bool facetune_;
  std::shared_ptr<InstallationWindowLayout> layout_;
  std::unique_ptr<InstallationWindowStyle> style_;
  PredeterminedChoices choices_;
  bool first_screen_skipped_;
  int uac_mode_;
  int kvpin_state_;
  int check_box_set_;

  UINT set_install_progress_message_;
  UINT set_import_progress_message_;
  UINT close_window_message_;
  UINT higher_version_message_;
  UINT corp_higher_version_message_;
  UINT corp_browser_exists_message_;
  UINT move_window_message_;

  lite_util::ScopedFont tagline_font_, button_font_, text_font_, link_font_,
      large_font_, medium_font_, small_font_, small_link_font_;
  lite_util::ScopedIcon big_icon_, small_icon_;
  ResourceBitmap background_;
  ResourceBitmap logo_;
  ResourceBitmap progress_background_;
  std::wstring prefixes_[3];

  std::unique_ptr<ImageButton> install_button_;
  std::unique_ptr<ImageButton> close_button_;
  std::unique_ptr<ImageButton> minimize_button_;
  std::unique_ptr<ImageButton> cancel_button_;
  std::unique_ptr<ImageCheckBox> default_box_;
  std::unique_ptr<ImageCheckBox> statistics_box_;
  std::unique_ptr<ImageCheckBox> kvpin_box_;
  std::unique_ptr<LinkLabel> privacy_link_;
  std::vector<std::unique_ptr<LinkLabel>> license_links_;
  std::vector<std::unique_ptr<LinkLabel>> progress_license_links_;
  std::unique_ptr<CustomProgressBar> progress_bar_;
  lite_util::ScopedComPtr<ITaskbarList3> taskbar_;
  std::unique_ptr<SlideShow> slide_show_;
  ShadowWindow shadow_;
  std::unique_ptr<ConfirmCancelDialog> confirm_dialog_;

  int error_code_ = 0;
  bool install_confirmed_ = false;
  bool remove_tagline_at_slide_change_ = false;
  bool license_line_shown_ = false;
  bool progress_mode_ = false;
  bool closing_ = false;
  bool painted_ = false;
  bool complete_paint_logged_ = false;
  bool ended_ = false;

  std::atomic<HWND> window_handle_{nullptr};
  std::mutex events_lock_;
  std::deque<QueuedEvent> events_;

  // Declared last: destroyed first, so that its thread has stopped before
  // anything it calls back into goes.
  std::unique_ptr<Installer> installer_;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_MAIN_WINDOW_H_
