#include "installer/ui/dialogs/notice_dialog.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>

#include "installer/brand/web_page_urls.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/string_util.h"
#include "installer/lite_util/test_seams.h"
#include "installer/ui/localized_strings.h"
#include "installer/ui/scale.h"
#include "installer/ui/text_drawing.h"

namespace lite_installer {
namespace {

constexpr COLORREF kInkColor = RGB(70, 70, 70);
// The shadow's widths around the box inside picture 104.
constexpr RECT kShadowWidths = {7, 4, 6, 8};
// The box without its picture (397 x 174 at scale 1).
constexpr SIZE kFallbackBoxSize = {397, 174};
// One state of a button strip without its picture.
constexpr SIZE kFallbackButtonSize = {120, 28};

HFONT CreateArialFont(int size) {
  return ::CreateFontW(-Scale(size), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH,
                       L"Arial");
}

}  // namespace

NoticeButtonPlacement PlaceNoticeButtons(NoticeButtons layout,
                                         int client_width, int client_height,
                                         SIZE first, SIZE second) {
  NoticeButtonPlacement placement;
  const int y = client_height - Scale(20) - first.cy;
  int first_x = layout == NoticeButtons::kRightAligned
                    ? client_width - first.cx - second.cx - Scale(30) -
                          Scale(10)
                    : Scale(40);
  placement.first = {first_x, y};
  placement.second = {first_x + first.cx + Scale(10), y};
  if (layout == NoticeButtons::kSingleCentred)
    placement.second.x = (client_width - second.cx) / 2;
  return placement;
}

void PlaceNoticeTexts(const NoticeTextMargins& m, int client_width,
                      int client_height, int button_height, RECT* heading,
                      RECT* text) {
  text->left = Scale(m.left);
  text->right = client_width - Scale(m.top);
  text->bottom = client_height - Scale(m.bottom) - button_height;
  text->top = text->bottom - Scale(m.band_b) - Scale(m.band_a);
  heading->left = text->left;
  heading->right = text->right;
  heading->top = Scale(m.top);
  heading->bottom = text->top;
}

NoticeDialog::NoticeDialog(int language_id, int heading_id, int text_id,
                           int first_button_id, int second_button_id)
    : language_id_(language_id),
      heading_id_(heading_id),
      text_id_(text_id),
      first_button_id_(first_button_id),
      second_button_id_(second_button_id) {}

NoticeDialog::~NoticeDialog() {
  // The buttons' objects go before the fonts they draw with.
  first_button_.reset();
  second_button_.reset();
}

INT_PTR NoticeDialog::RunModal(HWND owner) {
  LOG(INFO) << "Notice " << heading_id_ << "/" << text_id_ << " shown";
  INT_PTR result = DialogWindow::RunModal(owner);
  if (result == -1 || result == 0)
    PLOG(ERROR) << "Failed to show dialog " << heading_id_;
  else
    LOG(INFO) << "Notice " << heading_id_ << "/" << text_id_ << " ended with "
              << static_cast<int>(result);
  return result;
}

std::wstring NoticeDialog::Text() const {
  return text_id_ ? LoadLocalizedString(text_id_, language_id_)
                  : std::wstring();
}

bool NoticeDialog::HandleMessage(HWND window, UINT message, WPARAM wparam,
                                 LPARAM lparam, LRESULT* result) {
  switch (message) {
    case WM_INITDIALOG:
      InitDialogSteps();
      return true;
    case WM_ERASEBKGND:
      *result = 1;
      return true;
    case WM_PAINT:
      OnPaint();
      *result = 0;
      return true;
    case WM_NOTIFY: {
      const auto* header = reinterpret_cast<const NMHDR*>(lparam);
      if (header->code != NM_CUSTOMDRAW) return false;
      *result = OnCustomDraw(*reinterpret_cast<const NMCUSTOMDRAW*>(lparam));
      return true;
    }
    case WM_CTLCOLORSTATIC:
      *result = OnCtlColorStatic(reinterpret_cast<HDC>(wparam),
                                 reinterpret_cast<HWND>(lparam));
      return true;
    case WM_COMMAND:
      if (HIWORD(wparam) != BN_CLICKED) return false;
      OnCommand(LOWORD(wparam));
      *result = 0;
      return true;
    case WM_DESTROY:
      // The window's children and the owned shadow go with it; the objects
      // are made again when the dialog runs again.
      first_button_.reset();
      second_button_.reset();
      shadow_.Destroy();
      return false;
  }
  if (message == move_message()) {
    // Dragged by its surface: the shadow follows.
    shadow_.Follow(window);
    return true;
  }
  return false;
}

void NoticeDialog::InitDialogSteps() {
  SetTexts();
  SizeWindow();
  CreateButtons();
  LayoutButtons();
  LayoutTexts();
  CreateShadow();
}

void NoticeDialog::SetTexts() {
  background_ = ResourceBitmap::LoadPair(pictures_[0], 0);
  button_font_.Set(CreateArialFont(14));
  heading_font_.Set(CreateArialFont(16));
  text_font_.Set(CreateArialFont(13));
  SetItemText(kNoticeHeadingId, heading_id_, language_id_);
  // The heading is also the window's title: the box shows no caption, but
  // the taskbar button (an app window) and screen readers name it.
  const std::wstring heading = LoadLocalizedString(heading_id_, language_id_);
  ::SetWindowTextW(hwnd(), heading.substr(0, heading.find(L'\n')).c_str());
  SetItemTextDirect(kNoticeTextId, Text());
  if (HWND text = TextControl())
    ::SendMessageW(text, WM_SETFONT,
                   reinterpret_cast<WPARAM>(text_font_.Get()), FALSE);
  ::SendMessageW(::GetDlgItem(hwnd(), kNoticeHeadingId), WM_SETFONT,
                 reinterpret_cast<WPARAM>(heading_font_.Get()), FALSE);
  if (first_button_id_)
    SetItemText(kNoticeFirstButtonId, first_button_id_, language_id_);
  if (second_button_id_)
    SetItemText(kNoticeSecondButtonId, second_button_id_, language_id_);
}

POINT NoticeDialog::BoxOffset() const {
  return {Scale(kShadowWidths.left), Scale(kShadowWidths.top)};
}

void NoticeDialog::SizeWindow() {
  SIZE size = {Scale(kFallbackBoxSize.cx), Scale(kFallbackBoxSize.cy)};
  if (!background_.IsEmpty()) {
    size.cx = background_.Width() - Scale(kShadowWidths.left) -
              Scale(kShadowWidths.right);
    size.cy = background_.Height() - Scale(kShadowWidths.top) -
              Scale(kShadowWidths.bottom);
  } else {
    // Without its picture the box would be 0 x 0 and, as Esc does not close
    // it, could never be ended: it keeps its usual size.
    LOG(ERROR) << "Dialog picture " << pictures_[0]
               << " missing; using the plain box";
  }
  ::SetWindowPos(hwnd(), nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  CenterWindow(nullptr);
}

void NoticeDialog::CreateButtons() {
  const int ids[2] = {kNoticeFirstButtonId, kNoticeSecondButtonId};
  std::unique_ptr<ImageButton>* buttons[2] = {&first_button_, &second_button_};
  for (int i = 0; i < 2; ++i) {
    ImageButtonParams params;
    params.strip = ResourceBitmap::LoadPair(pictures_[1 + i], 0);
    params.background = background_;
    params.background_offset = BoxOffset();
    params.font = button_font_.Get();
    params.text_color = kInkColor;
    params.focus_inset = 2;
    HWND window = ::GetDlgItem(hwnd(), ids[i]);
    if (!window) continue;
    *buttons[i] = std::make_unique<ImageButton>(window, std::move(params));
    (*buttons[i])->accessibility().SetRole(kRolePushButton);
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    (*buttons[i])->accessibility().SetName(text);
  }
}

void NoticeDialog::LayoutButtons() {
  RECT client;
  ::GetClientRect(hwnd(), &client);
  SIZE sizes[2] = {};
  ImageButton* buttons[2] = {first_button_.get(), second_button_.get()};
  for (int i = 0; i < 2; ++i) {
    if (!buttons[i]) continue;
    sizes[i] = buttons[i]->PictureSize();
    if (sizes[i].cx == 0 || sizes[i].cy == 0)
      sizes[i] = {Scale(kFallbackButtonSize.cx),
                  Scale(kFallbackButtonSize.cy)};
  }
  NoticeButtonPlacement placement = PlaceNoticeButtons(
      buttons_, client.right, client.bottom, sizes[0], sizes[1]);
  const POINT origins[2] = {placement.first, placement.second};
  for (int i = 0; i < 2; ++i) {
    if (!buttons[i]) continue;
    ::SetWindowPos(buttons[i]->hwnd(), nullptr, origins[i].x, origins[i].y,
                   sizes[i].cx, sizes[i].cy,
                   SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  }
  bool first_shown = buttons_ != NoticeButtons::kSingleCentred;
  bool second_shown = second_button_id_ != 0;
  if (first_button_ && !first_shown) {
    ::ShowWindow(first_button_->hwnd(), SW_HIDE);
    // Enter (the default button's command) must not act for a hidden one.
    ::EnableWindow(first_button_->hwnd(), FALSE);
  }
  if (second_button_ && !second_shown) {
    ::ShowWindow(second_button_->hwnd(), SW_HIDE);
    ::EnableWindow(second_button_->hwnd(), FALSE);
  }
}

void NoticeDialog::LayoutTexts() {
  RECT client;
  ::GetClientRect(hwnd(), &client);
  int button_height = 0;
  if (first_button_) {
    RECT rect;
    ::GetWindowRect(first_button_->hwnd(), &rect);
    button_height = rect.bottom - rect.top;
  }
  RECT heading, text;
  PlaceNoticeTexts(*margins_, client.right, client.bottom, button_height,
                   &heading, &text);
  auto place = [](HWND control, const RECT& r) {
    if (control)
      ::SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left,
                     r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
  };
  place(::GetDlgItem(hwnd(), kNoticeHeadingId), heading);
  place(TextControl(), text);
}

void NoticeDialog::CreateShadow() {
  if (background_.IsEmpty()) return;
  RECT grow = {Scale(kShadowWidths.left), Scale(kShadowWidths.top),
               Scale(kShadowWidths.right), Scale(kShadowWidths.bottom)};
  shadow_.CreateFromPicture(hwnd(), background_, grow);
}

HWND NoticeDialog::TextControl() const {
  // The text's id is -1 (0xFFFF in the template); look for it among the
  // children rather than trust GetDlgItem's reading of a negative id.
  for (HWND child = ::GetWindow(hwnd(), GW_CHILD); child;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    int id = ::GetDlgCtrlID(child);
    if (id == kNoticeTextId || id == 0xFFFF) return child;
  }
  return nullptr;
}

void NoticeDialog::OnPaint() {
  lite_util::ScopedPaint paint(hwnd());
  RECT client;
  ::GetClientRect(hwnd(), &client);
  PaintDoubleBuffered(paint.Get(), client, [this](HDC dc, const RECT& rect) {
    if (background_.IsEmpty()) {
      ::FillRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
      return;
    }
    POINT offset = BoxOffset();
    background_.Draw(dc, 0, 0, rect.right, rect.bottom, offset.x, offset.y,
                     rect.right, rect.bottom);
  });
}

LRESULT NoticeDialog::OnCustomDraw(const NMCUSTOMDRAW& draw) {
  ImageButton* buttons[2] = {first_button_.get(), second_button_.get()};
  for (ImageButton* button : buttons) {
    if (button && button->hwnd() == draw.hdr.hwndFrom)
      return button->OnCustomDraw(draw);
  }
  return CDRF_DODEFAULT;
}

LRESULT NoticeDialog::OnCtlColorStatic(HDC dc, HWND control) {
  if (control == ::GetDlgItem(hwnd(), kNoticeHeadingId))
    ::SelectObject(dc, heading_font_.Get());
  else if (control == TextControl())
    ::SelectObject(dc, text_font_.Get());
  ::SetTextColor(dc, kInkColor);
  ::SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
}

void NoticeDialog::OnCommand(int id) {
  // IDCANCEL (Esc, the system close) is not handled: the user answers
  // with a button.
  if (id == kNoticeFirstButtonId && first_button_ &&
      ::IsWindowEnabled(first_button_->hwnd())) {
    OnFirstButton();
  } else if (id == kNoticeSecondButtonId && second_button_ &&
             ::IsWindowEnabled(second_button_->hwnd())) {
    ::EndDialog(hwnd(), kNoticeSecondButtonId);
  }
}

void NoticeDialog::OnFirstButton() {
  ::EndDialog(hwnd(), kNoticeFirstButtonId);
}

ConfirmCancelDialog::ConfirmCancelDialog(int language_id)
    : NoticeDialog(language_id, 414, 0, 415, 416) {
  buttons_ = NoticeButtons::kRightAligned;
}

ErrorMessageDialog::ErrorMessageDialog(int language_id, int text_id,
                                       TextExtender extend_text)
    : NoticeDialog(language_id, 423, text_id, 0, 413),
      extend_text_(std::move(extend_text)) {
  buttons_ = NoticeButtons::kSingleCentred;
  margins_ = &kNoticeMarginsB;
}

std::wstring ErrorMessageDialog::Text() const {
  std::wstring text = NoticeDialog::Text();
  if (extend_text_) extend_text_(&text);
  return text;
}

CryptoProErrorDialog::CryptoProErrorDialog(int language_id)
    : NoticeDialog(language_id, 426, 427, 0, 413) {
  buttons_ = NoticeButtons::kSingleCentred;
  margins_ = &kNoticeMarginsB;
}

bool OpenUrlWithShell(const std::wstring& url) {
  return OpenUrlShowing(url, SW_SHOWNORMAL);
}

bool OpenUrlShowing(const std::wstring& url, int show_command) {
  std::string record;
  if (lite_util::TestSeamValue("OPEN_URL_RECORD", &record) && !record.empty()) {
    // Tests: the address goes to a file instead of a browser.
    FILE* file = _wfopen(lite_util::Utf8ToWide(record).c_str(), L"ab");
    if (!file) return false;
    std::string line = lite_util::WideToUtf8(url) + "\n";
    std::fwrite(line.data(), 1, line.size(), file);
    std::fclose(file);
    return true;
  }
  HINSTANCE result = ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr,
                                     nullptr, show_command);
  if (reinterpret_cast<INT_PTR>(result) <= 32) {
    LOG(ERROR) << "Failed to open " << url << ": "
               << static_cast<int>(reinterpret_cast<INT_PTR>(result));
    return false;
  }
  return true;
}

DownloadErrorDialog::DownloadErrorDialog(const std::wstring& download_page_url,
                                         int language_id)
    : NoticeDialog(language_id, 423, 431, 435, 436),
      download_page_url_(download_page_url) {}

bool DownloadErrorDialog::OpenDownloadPage() {
  // The address carries values of an unsigned tag: only the web site's
  // download page goes to the shell, never another address or a file.
  if (!IsAcceptedDownloadPageUrl(download_page_url_, page_host_)) {
    LOG(ERROR) << "Refused to open the download page address "
               << download_page_url_;
    return false;
  }
  return url_opener_ && url_opener_(download_page_url_);
}

void DownloadErrorDialog::OnFirstButton() {
  OpenDownloadPage();
  ::EndDialog(hwnd(), kNoticeFirstButtonId);
}

}  // namespace lite_installer
