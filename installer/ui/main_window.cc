#include "installer/ui/main_window.h"

#include <commctrl.h>

#include <utility>

#include "installer/brand/brand_info.h"
#include "installer/brand/distrib_info_params.h"
#include "installer/brand/web_page_urls.h"
#include "installer/install/elevation/uac_mode.h"
#include "installer/install/installer.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/string_util.h"
#include "installer/lite_util/test_seams.h"
#include "installer/lite_util/windows_release.h"
#include "installer/main/command_line.h"
#include "installer/ui/controls/control_order.h"
#include "installer/ui/controls/custom_progress_bar.h"
#include "installer/ui/controls/image_button.h"
#include "installer/ui/controls/image_check_box.h"
#include "installer/ui/controls/link_label.h"
#include "installer/ui/dialogs/error_dialog_factory.h"
#include "installer/ui/dialogs/notice_dialog.h"
#include "installer/ui/localized_strings.h"
#include "installer/ui/main_window_values.h"
#include "installer/ui/scale.h"
#include "installer/ui/slides/slide_show.h"
#include "installer/ui/slides/slide_source.h"
#include "installer/ui/text_drawing.h"
#include "installer/ui/text_runs.h"
#include "service_hosts.h"

namespace lite_installer {
namespace {

constexpr int kInstallButton = 1;
constexpr int kEscape = 2;
constexpr int kDefaultBrowserBox = 109;
constexpr int kStatisticsBox = 110;
constexpr int kKvpinBox = 112;
constexpr int kTagline = 107;
constexpr int kCancelButton = 212;
constexpr int kCloseButton = 213;
constexpr int kMinimizeButton = 214;
constexpr int kProgressBar = 215;
constexpr int kPrivacyLink = 218;
constexpr int kLicenseText = 222;
constexpr int kLicenseLink = 223;
constexpr int kProgressText = 224;
constexpr int kProgressLicenseText = 1013;
constexpr int kProgressLicenseLink = 1014;
constexpr int kCancelPicture = 101;
constexpr int kIconResource = 1000;
constexpr float kSlidePeriodMs = 10000.0f;

// The keyboard hook is installed once per process for the window that
// installed it.
HHOOK g_keyboard_hook = nullptr;
HWND g_hook_window = nullptr;
bool g_back_toggle = false;
bool g_forward_toggle = false;

std::wstring WindowText(HWND window) {
  wchar_t text[1024];
  int length = ::GetWindowTextW(window, text, 1024);
  return std::wstring(text, length > 0 ? length : 0);
}

RECT ChildRect(HWND parent, HWND child) {
  RECT rect = {0, 0, 0, 0};
  if (::GetWindowRect(child, &rect))
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

bool IsEmptyRect(const RECT& rect) {
  return rect.right <= rect.left || rect.bottom <= rect.top;
}

// Test builds log what reaches the bar, so that tests can tell a repaint
// from none, and the first paint, for the benchmark; the shipped build
// never does.
bool LogProgressShown() {
  static const bool enabled = lite_util::TestSeamEnabled("log-window-progress");
  return enabled;
}

// The dialogs this thread runs modally over |owner| (class "#32770").
struct OwnedDialogs {
  HWND owner;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectOwnedDialog(HWND window, LPARAM param) {
  auto* dialogs = reinterpret_cast<OwnedDialogs*>(param);
  wchar_t name[16] = {};
  ::GetClassNameW(window, name, 16);
  if (window != dialogs->owner &&
      ::GetWindow(window, GW_OWNER) == dialogs->owner &&
      std::wstring(name) == L"#32770") {
    dialogs->found.push_back(window);
  }
  return TRUE;
}

}  // namespace

MainWindow::MainWindow(const BrandInfo* brand, const DistribInfoParams* distrib,
                       bool with_installer)
    : brand_(brand),
      distrib_(distrib),
      facetune_(brand && brand->facetune_enabled()),
      choices_(GetPredeterminedChoices(distrib)),
      first_screen_skipped_(IsFirstScreenSkipped(brand, distrib)),
      uac_mode_(GetUacMode(brand, distrib, CommandLine::ForCurrentProcess())),
      kvpin_state_(brand && distrib ? brand->GetKvpinTrialState(
                                          *distrib,
                                          CommandLine::ForCurrentProcess())
                                    : 0),
      check_box_set_(ComputeCheckBoxSet(choices_, kvpin_state_)) {
  set_install_progress_message_ =
      ::RegisterWindowMessageW(L"kelvra.lite.set_install_progress");
  set_import_progress_message_ =
      ::RegisterWindowMessageW(L"kelvra.lite.set_import_progress");
  close_window_message_ = ::RegisterWindowMessageW(L"kelvra.lite.close_window");
  higher_version_message_ =
      ::RegisterWindowMessageW(L"kelvra.higher_version_exist");
  corp_higher_version_message_ =
      ::RegisterWindowMessageW(L"kelvra.corp.user_higher_version_exist");
  corp_browser_exists_message_ =
      ::RegisterWindowMessageW(L"kelvra.corp.user_browser_exists");
  move_window_message_ = ::RegisterWindowMessageW(kMoveWindowMessageName);
  if (facetune_) {
    layout_ = std::make_shared<InstallationWindowLayoutFacetune>();
    style_ = std::make_unique<InstallationWindowStyleFacetune>(language(),
                                                               layout_);
  } else {
    layout_ = std::make_shared<InstallationWindowLayoutOrigin>();
    style_ = std::make_unique<InstallationWindowStyleOrigin>(language(),
                                                             layout_);
  }
  if (with_installer) {
    installer_.reset(new Installer(this, brand, distrib, true));
    installer_->StartInstallAsync();
  }
}

MainWindow::~MainWindow() {
  if (g_keyboard_hook && g_hook_window == hwnd()) {
    ::UnhookWindowsHookEx(g_keyboard_hook);
    g_keyboard_hook = nullptr;
    g_hook_window = nullptr;
  }
  // The Installer's thread calls back into this object: it stops first.
  installer_.reset();
  // Control objects go before the fonts they draw with.
  install_button_.reset();
  close_button_.reset();
  minimize_button_.reset();
  cancel_button_.reset();
  default_box_.reset();
  statistics_box_.reset();
  kvpin_box_.reset();
  privacy_link_.reset();
  license_links_.clear();
  progress_license_links_.clear();
  progress_bar_.reset();
  slide_show_.reset();
}

LANGID MainWindow::language() const {
  return static_cast<LANGID>(brand_ ? brand_->language_id() : 1033);
}

int MainWindow::RunModal() {
  INT_PTR result = DialogWindow::RunModal(nullptr);
  // -1: the dialog could not be made (no template, no display); the entry
  // treats it like any result but 1.
  if (result == -1) PLOG(ERROR) << "Failed to run the main window";
  return static_cast<int>(result);
}

// ---------------------------------------------------------------------------
// Initialisation.

void MainWindow::OnInitDialog() {
  window_handle_.store(hwnd());
  AllowRegisteredMessages();
  if (uac_mode_ == 1 && installer_ &&
      installer_->NeedStartThisProcessAsAdmin() &&
      !installer_->RelaunchAsAdmin()) {
    LOG(INFO) << "Declined running the installer as admin";
  }
  SetTexts();
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  big_icon_.Set(static_cast<HICON>(::LoadImageW(
      instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
      ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), 0)));
  small_icon_.Set(static_cast<HICON>(::LoadImageW(
      instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
      ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), 0)));
  if (big_icon_.IsValid()) {
    ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG,
                   reinterpret_cast<LPARAM>(big_icon_.Get()));
  }
  if (small_icon_.IsValid()) {
    ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL,
                   reinterpret_cast<LPARAM>(small_icon_.Get()));
  }
  CreateFonts();
  SizeWindow();
  CreateLicenseLine();
  CreateControls();
  if (first_screen_skipped_)
    LayoutProgressDialog();
  else
    LayoutFirstScreen();
  ShadowPictures pictures;
  for (int i = 0; i < 8; ++i)
    pictures.pieces[i] = style_->ShadowPicture(static_cast<ShadowPiece>(i));
  shadow_.Create(hwnd(), pictures, Scale(8),
                 Scale(layout_->ShadowCornerOverlap()));
  // Tab and z-order: the Install button on top, then each control of the
  // chain directly after the one before.
  StackControls(hwnd(), {kInstallButton, kCloseButton, kDefaultBrowserBox,
                         kKvpinBox, kStatisticsBox, kPrivacyLink,
                         kLicenseLink});
  if (!g_keyboard_hook) {
    g_keyboard_hook = ::SetWindowsHookExW(WH_KEYBOARD, &KeyboardHook, nullptr,
                                          ::GetCurrentThreadId());
    g_hook_window = hwnd();
  }
  // Callbacks that arrived before the window existed.
  ::PostMessageW(hwnd(), kDelegateEventsMessage, 0, 0);
}

void MainWindow::AllowRegisteredMessages() {
  const UINT messages[] = {
      set_install_progress_message_, set_import_progress_message_,
      close_window_message_,         higher_version_message_,
      corp_higher_version_message_,  corp_browser_exists_message_,
      move_window_message_};
  lite_util::WindowsRelease release = lite_util::GetWindowsRelease();
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  if (!user32 || release < lite_util::kWindowsVista) return;
  if (release >= lite_util::kWindows7) {
    using FilterEx = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    auto filter = reinterpret_cast<FilterEx>(reinterpret_cast<void*>(
        ::GetProcAddress(user32, "ChangeWindowMessageFilterEx")));
    if (!filter) return;
    for (UINT message : messages) filter(hwnd(), message, MSGFLT_ALLOW, nullptr);
  } else {
    using Filter = BOOL(WINAPI*)(UINT, DWORD);
    auto filter = reinterpret_cast<Filter>(reinterpret_cast<void*>(
        ::GetProcAddress(user32, "ChangeWindowMessageFilter")));
    if (!filter) return;
    for (UINT message : messages) filter(message, MSGFLT_ADD);
  }
}

void MainWindow::SetTexts() {
  background_ = style_->FirstScreenBackground();
  logo_ = style_->FirstScreenLogo();
  LANGID lang = language();
  ::SetWindowTextW(hwnd(), LoadLocalizedString(400, lang).c_str());
  SetItemText(kInstallButton, 410, lang);
  SetItemText(kDefaultBrowserBox, style_->DefaultBrowserStringId(), lang);
  SetItemText(kStatisticsBox, 418, lang);
  SetItemText(kPrivacyLink, 422, lang);
  SetItemText(kTagline, style_->TaglineStringId(), lang);
  if (IsKvpinOffered(kvpin_state_)) SetItemText(kKvpinBox, 420, lang);
  for (int i = 0; i < 3; ++i) prefixes_[i] = LoadLocalizedString(407 + i, lang);
}

void MainWindow::CreateFonts() {
  tagline_font_.Set(style_->CreateTaglineFont());
  button_font_.Set(style_->CreateButtonFont());
  text_font_.Set(style_->CreateTextFont());
  link_font_.Set(style_->CreateLinkFont());
  large_font_.Set(style_->CreateLargeTextFont());
  medium_font_.Set(style_->CreateMediumTextFont());
  small_font_.Set(style_->CreateSmallTextFont());
  small_link_font_.Set(style_->CreateSmallLinkFont());
}

void MainWindow::SizeWindow() {
  int width = background_.Width();
  int height = background_.Height();
  int region_width = background_.WidthRoundedUp();
  int region_height = background_.HeightRoundedUp();
  if (width <= 0 || height <= 0) {
    // Without its picture the window would be 0 x 0, a modal window nobody
    // can see or close: it keeps the layout's size.
    SIZE size = layout_->WindowSize();
    width = region_width = Scale(size.cx);
    height = region_height = Scale(size.cy);
    LOG(WARNING) << "No background picture; using the layout's size";
  }
  ::SetWindowPos(hwnd(), nullptr, 0, 0, width, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  int radius = layout_->CornerRadius();
  if (radius != 0) {
    lite_util::ScopedRegion region(::CreateRoundRectRgn(
        0, 0, region_width, region_height, 2 * Scale(radius),
        2 * Scale(radius)));
    if (region.IsValid() && ::SetWindowRgn(hwnd(), region.Get(), TRUE))
      region.Take();
  }
  CenterWindow(nullptr);
}

void MainWindow::CreateLicenseLine() {
  std::wstring text = LoadLocalizedString(438, language());
  if (facetune_ && !text.empty() && text.back() == L'.') text.pop_back();
  std::vector<HWND> runs =
      CreateTextRuns(hwnd(), text, ScaleRect(layout_->LicenseAreaRect()),
                     text_font_.Get(), false, kLicenseText, kLicenseLink);
  for (HWND run : runs) {
    if (::GetDlgCtrlID(run) != kLicenseLink) continue;
    auto link = std::make_unique<LinkLabel>(run, background_, link_font_.Get(),
                                            style_->TextColor(),
                                            style_->LinkOpacity());
    link->accessibility().SetRole(kRoleLink);
    link->accessibility().SetName(RemoveParentheses(text));
    license_links_.push_back(std::move(link));
  }
}

void MainWindow::CreateControls() {
  LANGID lang = language();
  ImageButtonParams install;
  install.strip = style_->InstallButtonPictures();
  install.background = background_;
  install.font = button_font_.Get();
  install.text_insets = ScaleRect(layout_->InstallButtonTextInsets());
  install.focus_inset = 2;
  install_button_ = std::make_unique<ImageButton>(Item(kInstallButton),
                                                  std::move(install));
  install_button_->accessibility().SetRole(kRolePushButton);
  install_button_->accessibility().SetName(WindowText(Item(kInstallButton)));

  ImageButtonParams close;
  close.strip = style_->CloseButtonPictures();
  close.background = background_;
  close_button_ = std::make_unique<ImageButton>(Item(kCloseButton),
                                                std::move(close));
  close_button_->accessibility().SetRole(kRolePushButton);
  close_button_->accessibility().SetName(LoadLocalizedString(411, lang));

  if (layout_->HasMinimizeButton()) {
    ImageButtonParams minimize;
    minimize.strip = style_->MinimizeButtonPictures();
    minimize.background = background_;
    minimize_button_ = std::make_unique<ImageButton>(Item(kMinimizeButton),
                                                     std::move(minimize));
    minimize_button_->accessibility().SetRole(kRolePushButton);
    minimize_button_->accessibility().SetName(LoadLocalizedString(412, lang));
  }

  ImageButtonParams cancel;
  cancel.strip = ResourceBitmap::LoadPair(kCancelPicture, 0);
  cancel.background = background_;
  cancel.focus_inset = 2;
  cancel_button_ = std::make_unique<ImageButton>(Item(kCancelButton),
                                                 std::move(cancel));
  cancel_button_->accessibility().SetRole(kRolePushButton);

  auto box_params = [this](bool checked) {
    ImageCheckBoxParams params;
    params.box_strip = style_->CheckBoxPictures();
    params.background = background_;
    params.font = text_font_.Get();
    params.text_color = style_->TextColor();
    params.text_opacity = style_->TextOpacity();
    params.text_gap = layout_->CheckBoxTextGap();
    params.checked = checked;
    return params;
  };
  bool make_default = brand_ && brand_->MakeDefaultByDefault();
  if (installer_ && !installer_->CheckInterfaceAvailability())
    make_default = false;
  default_box_ = std::make_unique<ImageCheckBox>(Item(kDefaultBrowserBox),
                                                 box_params(make_default));
  statistics_box_ = std::make_unique<ImageCheckBox>(
      Item(kStatisticsBox),
      box_params(brand_ && brand_->SendStatisticsByDefault()));
  if (IsKvpinOffered(kvpin_state_)) {
    kvpin_box_ = std::make_unique<ImageCheckBox>(
        Item(kKvpinBox), box_params(kvpin_state_ == 2));
  }

  privacy_link_ = std::make_unique<LinkLabel>(
      Item(kPrivacyLink), background_, link_font_.Get(), style_->TextColor(),
      style_->LinkOpacity());
  privacy_link_->accessibility().SetRole(kRoleLink);
  privacy_link_->accessibility().SetName(LoadLocalizedString(422, lang));
}

void MainWindow::PlaceAt(HWND control, POINT origin, SIZE size) {
  ::SetWindowPos(control, nullptr, Scale(origin.x), Scale(origin.y), size.cx,
                 size.cy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void MainWindow::PlaceIn(HWND control, const RECT& layout_rect) {
  RECT rect = ScaleRect(layout_rect);
  ::SetWindowPos(control, nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void MainWindow::LayoutFirstScreen() {
  PlaceIn(Item(kTagline), layout_->TaglineRect(check_box_set_));
  LayoutCheckboxes();
  PlaceAt(Item(kInstallButton), layout_->InstallButtonOrigin(),
          install_button_->PictureSize());
  PlaceAt(Item(kCloseButton), layout_->CloseButtonOrigin(),
          close_button_->PictureSize());
}

void MainWindow::PlaceCheckBox(ImageCheckBox* box, const RECT& layout_rect) {
  if (IsEmptyRect(layout_rect)) return;
  RECT rect = ScaleRect(layout_rect);
  int height = box->RequiredHeight(rect);
  ::SetWindowPos(box->hwnd(), nullptr, rect.left, rect.top,
                 rect.right - rect.left, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void MainWindow::LayoutCheckboxes() {
  if (!choices_.default_browser_given && uac_mode_ != 2) {
    PlaceCheckBox(default_box_.get(),
                  layout_->DefaultBrowserCheckBoxRect(check_box_set_));
  }
  if (kvpin_box_) {
    PlaceCheckBox(kvpin_box_.get(),
                  layout_->TaskbarCheckBoxRect(check_box_set_));
  }
  if (choices_.statistics_given) return;
  RECT stat_layout = layout_->StatisticsCheckBoxRect(check_box_set_);
  if (IsEmptyRect(stat_layout)) return;
  PlaceCheckBox(statistics_box_.get(), stat_layout);
  RECT stat = ChildRect(hwnd(), Item(kStatisticsBox));
  int x = Scale(layout_->PrivacyLinkRect().left) +
          (facetune_ ? statistics_box_->TextIndent() : ImageCheckBox::kBoxInset);
  SIZE size;
  {
    lite_util::ScopedGetDC dc(hwnd());
    lite_util::ScopedSelectObject select(dc.Get(), link_font_.Get());
    size = TextExtent(dc.Get(), WindowText(Item(kPrivacyLink)));
  }
  ::SetWindowPos(Item(kPrivacyLink), nullptr, x, stat.bottom, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void MainWindow::OnInstallClicked() {
  if (install_confirmed_) return;
  install_confirmed_ = true;
  if (first_screen_skipped_) return;
  if (installer_) {
    installer_->RecordOkButtonTime();
    installer_->SendButtonClicked(L"install");
    installer_->SendInstallButtonClicked();
  }
  LayoutProgressDialog();
  ::InvalidateRect(hwnd(), nullptr, TRUE);
}

void MainWindow::LayoutProgressDialog() {
  // The progress screen is the confirmed installation: errors are shown
  // and the end of the installation ends the window from now on, also when
  // it opened on this screen.
  install_confirmed_ = true;
  if (installer_) {
    installer_->SetMakeDefault(choices_.default_browser_given
                                   ? choices_.make_default
                                   : default_box_->IsChecked());
    installer_->set_send_statistics(choices_.statistics_given
                                        ? choices_.send_statistics
                                        : statistics_box_->IsChecked());
    installer_->set_install_kvpin(kvpin_state_ == 0 ||
                                  (kvpin_box_ && kvpin_box_->IsChecked()));
  }
  ::SetFocus(hwnd());
  SetUpProgressScreen();
  if (error_code_ != 0) {
    ShowError(error_code_);
    return;
  }
  if (uac_mode_ == 0 && installer_ &&
      installer_->NeedStartThisProcessAsAdmin() &&
      !installer_->RelaunchAsAdmin()) {
    LOG_AS(INFO, "LayoutProgressDialog")
        << "Declined running the installer as admin";
  }
  SwitchToProgressControls();
  ::SetFocus(Item(kProgressBar));
  if (installer_) installer_->AllowInstallation();
  progress_mode_ = true;
}

void MainWindow::SetUpProgressScreen() {
  if (SUCCEEDED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_ALL,
                                   IID_ITaskbarList3,
                                   reinterpret_cast<void**>(
                                       taskbar_.Receive())))) {
    if (FAILED(taskbar_->HrInit())) {
      taskbar_.Reset();
    } else {
      taskbar_->SetProgressState(hwnd(), TBPF_NORMAL);
      taskbar_->SetProgressValue(hwnd(), 0, 100);
    }
  } else {
    taskbar_.Reset();
  }
  progress_background_ = style_->BuildProgressScreenBackground();
  std::wstring license = LoadLocalizedString(438, language());
  if (first_screen_skipped_ && !facetune_) {
    license_line_shown_ = true;
    CreateTextRuns(hwnd(), license,
                   ScaleRect(layout_->ProgressLicenseAreaRect()),
                   small_font_.Get(), true, kProgressLicenseText,
                   kProgressLicenseLink);
  }
  progress_bar_ = std::make_unique<CustomProgressBar>(
      Item(kProgressBar), style_->ProgressFill(), style_->ProgressTrack(),
      progress_background_);
  progress_bar_->accessibility().SetRole(kRoleProgressBar);
  PlaceIn(Item(kProgressBar), layout_->ProgressBarRect());
  PlaceIn(Item(kProgressText), layout_->ProgressTextRect());
  if (facetune_) ::ShowWindow(Item(kMinimizeButton), SW_SHOWNA);
  ::ShowWindow(Item(kCancelButton), SW_SHOWNA);
  if (first_screen_skipped_ && !facetune_) {
    for (HWND child = ::GetWindow(hwnd(), GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
      if (::GetDlgCtrlID(child) != kProgressLicenseLink) continue;
      auto link = std::make_unique<LinkLabel>(
          child, progress_background_, small_link_font_.Get(),
          style_->ProgressLicenseLinkColor(),
          style_->ProgressLicenseLinkOpacity());
      link->accessibility().SetRole(kRoleLink);
      link->accessibility().SetName(RemoveParentheses(license));
      progress_license_links_.push_back(std::move(link));
    }
  }
  std::vector<ResourceBitmap> pictures;
  if (first_screen_skipped_) pictures.push_back(background_);
  pictures.push_back(progress_background_);
  std::string language_code = brand_ ? brand_->default_language() : "";
  std::wstring base_url =
      SlideBaseUrl(brand_ ? brand_->slide_url() : std::string(), facetune_,
                   language_code, KELVRA_DOWNLOAD_HOST);
  SIZE size = layout_->WindowSize();
  slide_show_ = std::make_unique<SlideShow>(
      SIZE{Scale(size.cx), Scale(size.cy)},
      std::make_unique<SlideSource>(std::move(pictures), base_url),
      style_->BackgroundBrush(), kSlidePeriodMs, 1);
}

void MainWindow::DestroyControls(int id) {
  for (HWND child = ::GetWindow(hwnd(), GW_CHILD); child;) {
    HWND next = ::GetWindow(child, GW_HWNDNEXT);
    if (::GetDlgCtrlID(child) == id) ::DestroyWindow(child);
    child = next;
  }
}

void MainWindow::SwitchToProgressControls() {
  for (int id : {kInstallButton, kCloseButton, kTagline, kLicenseLink,
                 kDefaultBrowserBox, kStatisticsBox, kKvpinBox, kPrivacyLink,
                 kLicenseText}) {
    if (facetune_ && id == kCloseButton) continue;
    if (first_screen_skipped_ && facetune_ && id == kTagline) continue;
    DestroyControls(id);
  }
  install_button_.reset();
  default_box_.reset();
  statistics_box_.reset();
  kvpin_box_.reset();
  privacy_link_.reset();
  license_links_.clear();
  if (!facetune_) close_button_.reset();
  if (facetune_) {
    PlaceAt(Item(kMinimizeButton), layout_->MinimizeButtonOrigin(),
            minimize_button_->PictureSize());
    if (first_screen_skipped_) {
      PlaceIn(Item(kTagline), layout_->TaglineRect(check_box_set_));
      PlaceAt(Item(kCloseButton), layout_->CloseButtonOrigin(),
              close_button_->PictureSize());
      remove_tagline_at_slide_change_ = true;
      SetItemText(kTagline, 406, language());
    }
  }
  std::string cancel;
  if (distrib_ && distrib_->Find("cancel", &cancel) && cancel == "1") {
    PlaceAt(Item(kCancelButton), layout_->CloseButtonOrigin(),
            cancel_button_->PictureSize());
  } else {
    cancel_button_.reset();
    DestroyControls(kCancelButton);
  }
  HWND bar = Item(kProgressBar);
  ::ShowWindow(bar, SW_SHOWNA);
  ::SendMessageW(bar, PBM_SETRANGE32, 0, 100);
  ::SendMessageW(bar, PBM_SETPOS, 0, 0);
  logo_ = style_->ProgressScreenLogo();
  ::SetTimer(hwnd(), kSlideTimerId, kSlideTimerMs, nullptr);
}

// ---------------------------------------------------------------------------
// Messages.

bool MainWindow::HandleMessage(HWND window, UINT message, WPARAM wparam,
                               LPARAM lparam, LRESULT* result) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return true;
    case WM_COMMAND:
      OnCommand(wparam);
      *result = 0;
      return true;
    case WM_SYSCOMMAND:
      OnSysCommand(wparam);
      *result = 0;
      return true;
    case kProgressMessage:
      OnProgress(ClampPostedPercent(wparam));
      *result = 0;
      return true;
    case kDelegateEventsMessage:
      OnDelegateEvents();
      *result = 0;
      return true;
    case WM_TIMER:
      if (wparam != kSlideTimerId) return false;
      OnTimer();
      *result = 0;
      return true;
    case WM_ERASEBKGND:
      *result = 1;
      return true;
    case WM_CTLCOLORDLG:
      *result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
      return true;
    case WM_PAINT:
      OnPaint();
      *result = 0;
      return true;
    case WM_DRAWITEM:
      OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lparam));
      *result = TRUE;
      return true;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->code != NM_CUSTOMDRAW) return false;
      *result = OnCustomDraw(*reinterpret_cast<const NMCUSTOMDRAW*>(lparam));
      return true;
    }
    case WM_NCACTIVATE:
      if (wparam && install_button_) install_button_->ClearKeyboardCues();
      return false;
  }
  return OnRegisteredMessage(message, wparam, result);
}

void MainWindow::OnCommand(WPARAM wparam) {
  switch (wparam) {
    case kInstallButton:
      OnInstallClicked();
      return;
    case kEscape:
      if (installer_) installer_->SendButtonClicked(L"cancel");
      return;
    case kCloseButton:
      if (installer_) {
        installer_->SendButtonClicked(L"cancel");
        installer_->Cancel();
      }
      EndMainDialog(kCloseButton);
      return;
    case kCancelButton:
      RunConfirmCancel();
      return;
    case kMinimizeButton:
      if (installer_) installer_->SendButtonClicked(L"minimize");
      ::ShowWindow(hwnd(), SW_SHOWMINIMIZED);
      return;
    case kPrivacyLink:
      if (brand_) {
        OpenLink(BuildLicenseUrlWithLanguage(brand_->privacy_policy_url(),
                                             brand_->default_language()));
      }
      return;
    case kLicenseLink:
    case kProgressLicenseLink:
      if (brand_) OpenLink(GetLicenseUrlWithLanguage(*brand_));
      return;
    case kDefaultBrowserBox:
    case kStatisticsBox:
    case kKvpinBox: {
      ImageCheckBox* box = wparam == kDefaultBrowserBox ? default_box_.get()
                           : wparam == kStatisticsBox   ? statistics_box_.get()
                                                        : kvpin_box_.get();
      if (box) box->OnClicked();
      if (installer_) {
        installer_->SendCheckboxChosen(wparam == kDefaultBrowserBox ? L"default"
                                       : wparam == kStatisticsBox
                                           ? L"sendstat"
                                           : L"kvpin_trial");
      }
      return;
    }
  }
}

void MainWindow::OnSysCommand(WPARAM wparam) {
  if (wparam == SC_RESTORE) {
    if (installer_) installer_->SendButtonClicked(L"restore");
    ::ShowWindow(hwnd(), SW_SHOWNORMAL);
  } else if (wparam == SC_CLOSE) {
    EndMainDialog(2);
  }
}

void MainWindow::OpenLink(const std::wstring& url) {
  if (url.empty()) return;
  if (installer_) installer_->SendLinkClicked(url);
  OpenUrlShowing(url, SW_SHOW);
}

void MainWindow::RunConfirmCancel() {
  if (!confirm_dialog_)
    confirm_dialog_ = std::make_unique<ConfirmCancelDialog>(language());
  INT_PTR answer = confirm_dialog_->RunModal(hwnd());
  if (ended_) return;
  if (answer == kCloseButton) {
    if (installer_) installer_->Cancel();
    EndMainDialog(kCancelButton);
    return;
  }
  // Detached, so that the next press runs a fresh one.
  confirm_dialog_.reset();
}

void MainWindow::EndMainDialog(int result) {
  if (ended_) return;
  ended_ = true;
  ::KillTimer(hwnd(), kSlideTimerId);
  ::EndDialog(hwnd(), result);
}

void MainWindow::HideWindows() {
  ::ShowWindow(hwnd(), SW_HIDE);
  shadow_.Show(false);
}

void MainWindow::OnProgress(int percent) {
  if (!progress_mode_ || !progress_bar_) return;
  HWND bar = Item(kProgressBar);
  if (static_cast<int>(::SendMessageW(bar, PBM_GETPOS, 0, 0)) == percent)
    return;
  ::SendMessageW(bar, PBM_SETPOS, percent, 0);
  std::wstring prefix;
  if (facetune_) prefix = prefixes_[ProgressPrefixStringId(percent) - 407];
  SetItemTextDirect(kProgressText, ProgressText(prefix, percent));
  RECT text = ScaleRect(layout_->ProgressTextRect());
  ::InvalidateRect(hwnd(), &text, TRUE);
  if (taskbar_) taskbar_->SetProgressValue(hwnd(), percent, 100);
  if (LogProgressShown()) LOG(INFO) << "Progress shown: " << percent;
}

void MainWindow::OnTimer() {
  if (!slide_show_) return;
  bool repaint = slide_show_->Tick();
  if (slide_show_->HasAdvanced()) {
    if (license_line_shown_) {
      license_line_shown_ = false;
      progress_license_links_.clear();
      DestroyControls(kProgressLicenseText);
      DestroyControls(kProgressLicenseLink);
    }
    if (remove_tagline_at_slide_change_) {
      remove_tagline_at_slide_change_ = false;
      DestroyControls(kTagline);
    }
  }
  if (repaint) ::InvalidateRect(hwnd(), nullptr, FALSE);
}

const ResourceBitmap& MainWindow::CurrentBackground() const {
  if (!progress_mode_) return background_;
  if (first_screen_skipped_ && slide_show_ && !slide_show_->HasAdvanced())
    return background_;
  return progress_background_;
}

void MainWindow::OnPaint() {
  lite_util::ScopedPaint paint(hwnd());
  if (::IsIconic(hwnd())) return;
  if (LogProgressShown() && !painted_) LOG(INFO) << "First paint";
  RECT client;
  ::GetClientRect(hwnd(), &client);
  PaintDoubleBuffered(paint.Get(), client, [this](HDC dc, const RECT& rect) {
    if (progress_mode_ && slide_show_) {
      slide_show_->Draw(dc, rect);
    } else {
      background_.Draw(dc, 0, 0, rect.right, rect.bottom, 0, 0,
                       background_.Width(), background_.Height());
    }
    if (!facetune_) {
      RECT logo = ScaleRect(layout_->LogoRect());
      logo_.Draw(dc, logo.left, logo.top, logo_.Width(), logo_.Height(), 0, 0,
                 logo_.Width(), logo_.Height());
    }
  });
  if (LogProgressShown() && !painted_) LOG(INFO) << "First paint done";
  painted_ = true;
  LogFirstCompletePaint();
}

void MainWindow::LogFirstCompletePaint() {
  if (!LogProgressShown() || !painted_ || complete_paint_logged_) return;
  // The controls paint after the window, each through WM_DRAWITEM or
  // NM_CUSTOMDRAW here; the last one to paint leaves no update region.
  for (HWND child = ::GetWindow(hwnd(), GW_CHILD); child;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (::IsWindowVisible(child) && ::GetUpdateRect(child, nullptr, FALSE))
      return;
  }
  complete_paint_logged_ = true;
  LOG(INFO) << "First complete paint done";
}

void MainWindow::OnDrawItem(const DRAWITEMSTRUCT& draw) {
  DrawItem(draw);
  LogFirstCompletePaint();
}

void MainWindow::DrawItem(const DRAWITEMSTRUCT& draw) {
  HWND item = draw.hwndItem;
  for (ImageCheckBox* box :
       {default_box_.get(), statistics_box_.get(), kvpin_box_.get()}) {
    if (box && box->hwnd() == item) {
      box->OnDrawItem(draw);
      return;
    }
  }
  if (privacy_link_ && privacy_link_->hwnd() == item) {
    privacy_link_->OnDrawItem(draw);
    return;
  }
  for (auto* links : {&license_links_, &progress_license_links_}) {
    for (auto& link : *links) {
      if (link->hwnd() == item) {
        link->OnDrawItem(draw);
        return;
      }
    }
  }
  int id = static_cast<int>(draw.CtlID);
  std::wstring text = WindowText(item);
  RECT rect = ChildRect(hwnd(), item);
  const ResourceBitmap& background = CurrentBackground();
  background.Draw(draw.hDC, 0, 0, rect.right - rect.left,
                  rect.bottom - rect.top, rect.left, rect.top,
                  rect.right - rect.left, rect.bottom - rect.top);
  if (id == kProgressLicenseText) {
    lite_util::ScopedSelectObject select(draw.hDC, small_font_.Get());
    ::SetBkMode(draw.hDC, TRANSPARENT);
    ::SetTextColor(draw.hDC, style_->ProgressLicenseColor());
    RECT text_rect = draw.rcItem;
    ::DrawTextW(draw.hDC, text.c_str(), -1, &text_rect, DT_WORDBREAK);
    return;
  }
  HFONT font = text_font_.Get();
  COLORREF color = style_->TextColor();
  BYTE opacity = style_->TextOpacity();
  UINT format = 0;
  if (id == kTagline) {
    font = tagline_font_.Get();
    color = style_->TaglineColor();
    opacity = 255;
    format = style_->IsTaglineCentred() ? DT_CENTER : 0;
  } else if (id == kProgressText) {
    color = style_->ProgressTextColor();
    opacity = 255;
  }
  DrawAlphaText(draw.hDC, draw.rcItem, text, font, color, opacity, format);
}

LRESULT MainWindow::OnCustomDraw(const NMCUSTOMDRAW& draw) {
  LRESULT result = CustomDraw(draw);
  LogFirstCompletePaint();
  return result;
}

LRESULT MainWindow::CustomDraw(const NMCUSTOMDRAW& draw) {
  for (ImageButton* button : {install_button_.get(), close_button_.get(),
                              minimize_button_.get(), cancel_button_.get()}) {
    if (button && button->hwnd() == draw.hdr.hwndFrom)
      return button->OnCustomDraw(draw);
  }
  for (ImageCheckBox* box :
       {default_box_.get(), statistics_box_.get(), kvpin_box_.get()}) {
    if (box && box->hwnd() == draw.hdr.hwndFrom) return box->OnCustomDraw(draw);
  }
  return CDRF_DODEFAULT;
}

bool MainWindow::OnRegisteredMessage(UINT message, WPARAM wparam,
                                     LRESULT* result) {
  if (message == 0) return false;
  *result = 0;
  int percent = 0;
  if (message == set_install_progress_message_) {
    if (InstallStageProgress(wparam, &percent)) {
      LOG(INFO) << "--> Installer > MainWindow::OnInstallProgress: "
                << percent;
      OnProgress(percent);
    }
    return true;
  }
  if (message == set_import_progress_message_) {
    if (ImportProgress(wparam, &percent)) {
      LOG(INFO) << "--> Installer > MainWindow::OnImportProgress: "
                << static_cast<int>(wparam);
      OnProgress(percent);
    } else {
      LOG(WARNING) << "Import progress out of range ignored";
    }
    return true;
  }
  if (message == close_window_message_) {
    OnCloseWindow();
    return true;
  }
  if (message == higher_version_message_) {
    OnNewerVersion(432, 433);
    return true;
  }
  if (message == corp_higher_version_message_) {
    OnNewerVersion(466, 467);
    return true;
  }
  if (message == corp_browser_exists_message_) {
    NoticeDialog notice(language(), 462, 463, 464, 465);
    *result = notice.RunModal(hwnd()) == kCloseButton ? 0 : 1;
    return true;
  }
  if (message == move_window_message_) {
    shadow_.Follow(hwnd());
    return true;
  }
  return false;
}

void MainWindow::OnCloseWindow() {
  if (closing_ || ended_) return;
  closing_ = true;
  // The setup sent this and waits for the answer, and the install thread
  // waits for the setup: answer first, or both would wait for good.
  if (::InSendMessage()) ::ReplyMessage(0);
  HideWindows();
  LOG(INFO) << "--> Installer > MainWindow::OnCloseWindow";
  if (installer_ && !installer_->WaitForInstallAsync()) {
    PLOG(ERROR)
        << "--> Installer > MainWindow::OnCloseWindow: WaitForInstallAsync "
           "timeout";
  }
  OwnedDialogs dialogs = {hwnd(), {}};
  ::EnumThreadWindows(::GetCurrentThreadId(), &CollectOwnedDialog,
                      reinterpret_cast<LPARAM>(&dialogs));
  for (HWND dialog : dialogs.found) ::EndDialog(dialog, 1);
  EndMainDialog(1);
}

void MainWindow::OnNewerVersion(int heading_id, int text_id) {
  if (ended_) return;
  // The answer is 0 whatever the user does: the setup need not wait for
  // the notice.
  if (::InSendMessage()) ::ReplyMessage(0);
  HideWindows();
  NoticeDialog notice(language(), heading_id, text_id, 437, 0);
  notice.RunModal(hwnd());
  EndMainDialog(1);
}

void MainWindow::ShowError(int code) {
  if (ended_) return;
  HideWindows();
  std::unique_ptr<NoticeDialog> dialog =
      ErrorDialogFactory(brand_, distrib_).Create(code);
  if (dialog) dialog->RunModal(hwnd());
  EndMainDialog(1);
}

// ---------------------------------------------------------------------------
// The Installer's callbacks: queued here, acted on by the window thread.

void MainWindow::QueueEvent(DelegateEvent kind, int value) {
  {
    std::lock_guard<std::mutex> hold(events_lock_);
    events_.push_back({kind, value});
  }
  HWND window = window_handle_.load();
  if (window) ::PostMessageW(window, kDelegateEventsMessage, 0, 0);
}

void MainWindow::OnDownloadProgress(float fraction) {
  SetProgress(DownloadProgressPercent(fraction));
}

void MainWindow::SetProgress(int percent) {
  HWND window = window_handle_.load();
  if (window) ::PostMessageW(window, kProgressMessage, percent, 0);
}

void MainWindow::OnFinished(bool) { QueueEvent(DelegateEvent::kFinished, 0); }

void MainWindow::OnError(int result) {
  QueueEvent(DelegateEvent::kError, result);
}

void MainWindow::OnSetupStarted() {
  QueueEvent(DelegateEvent::kSetupStarted, 0);
}

void MainWindow::OnDelegateEvents() {
  for (;;) {
    QueuedEvent event;
    {
      std::lock_guard<std::mutex> hold(events_lock_);
      if (events_.empty()) return;
      event = events_.front();
      events_.pop_front();
    }
    if (ended_) continue;
    switch (event.kind) {
      case DelegateEvent::kFinished:
        if (install_confirmed_) EndMainDialog(1);
        break;
      case DelegateEvent::kError:
        error_code_ = event.value;
        if (install_confirmed_) ShowError(event.value);
        break;
      case DelegateEvent::kSetupStarted:
        // The setup cannot be cancelled from here once it runs.
        cancel_button_.reset();
        DestroyControls(kCancelButton);
        break;
    }
  }
}

LRESULT CALLBACK MainWindow::KeyboardHook(int code, WPARAM wparam,
                                          LPARAM lparam) {
  if (code == HC_ACTION && g_hook_window) {
    HWND focus = ::GetFocus();
    HWND install = ::GetDlgItem(g_hook_window, kInstallButton);
    HWND license = ::GetDlgItem(g_hook_window, kLicenseLink);
    if ((wparam == VK_LEFT || wparam == VK_UP) && focus && focus == install) {
      g_back_toggle = !g_back_toggle;
      if (!g_back_toggle && license) ::SetFocus(license);
    } else if ((wparam == VK_RIGHT || wparam == VK_DOWN) && focus &&
               focus == license) {
      g_forward_toggle = !g_forward_toggle;
      if (!g_forward_toggle && install) ::SetFocus(install);
    }
  }
  return ::CallNextHookEx(g_keyboard_hook, code, wparam, lparam);
}

}  // namespace lite_installer
