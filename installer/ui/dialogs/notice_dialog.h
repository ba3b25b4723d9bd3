// The installer's small modal dialogs: notices, the cancel confirmation and
// the error dialogs. All are one family on dialog template 100: a white box
// drawn from picture 104 with its soft shadow, a heading, a text and one or
// two picture buttons. Each variant ends with the id of its button: 1
// (first button) or 213 (second button); Esc does not close them.
#ifndef INSTALLER_UI_DIALOGS_NOTICE_DIALOG_H_
#define INSTALLER_UI_DIALOGS_NOTICE_DIALOG_H_

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>

#include "installer/lite_util/scoped_handle.h"
#include "installer/ui/controls/image_button.h"
#include "installer/ui/dialog_window.h"
#include "installer/ui/resource_bitmap.h"
#include "installer/ui/shadow_window.h"

namespace lite_installer {

// Resource ids of the family.
constexpr int kNoticeDialogTemplateId = 100;
constexpr int kNoticeHeadingId = 107;
constexpr int kNoticeTextId = -1;
constexpr int kNoticeFirstButtonId = 1;
constexpr int kNoticeSecondButtonId = 213;
constexpr int kNoticeBackgroundPicture = 104;
constexpr int kNoticeFirstButtonPicture = 105;
constexpr int kNoticeSecondButtonPicture = 106;

// Margins of the heading and text (left, top and right, bottom gap) and the
// heights of the two bands the text area spans, unscaled.
struct NoticeTextMargins {
  int left;
  int top;
  int bottom;
  int band_a;
  int band_b;
};
constexpr NoticeTextMargins kNoticeMarginsA = {40, 30, 20, 20, 30};
constexpr NoticeTextMargins kNoticeMarginsB = {40, 20, 20, 30, 40};

// Where the buttons go: both from the left, both at the right edge, or the
// second one alone, centred.
enum class NoticeButtons { kLeftAligned, kRightAligned, kSingleCentred };

// Positions of the first and second button in a client area of
// |client_width| x |client_height| (scaled values in, device pixels out).
struct NoticeButtonPlacement {
  POINT first;
  POINT second;
};
NoticeButtonPlacement PlaceNoticeButtons(NoticeButtons layout,
                                         int client_width, int client_height,
                                         SIZE first, SIZE second);
// The heading's and the text's rectangles for margins |m|, scaled, above
// buttons of height |button_height|.
void PlaceNoticeTexts(const NoticeTextMargins& m, int client_width,
                      int client_height, int button_height, RECT* heading,
                      RECT* text);

class NoticeDialog : public DialogWindow {
 public:
  // The notice variant: string ids of the heading, the text and the two
  // buttons (second 0: one button).
  NoticeDialog(int language_id, int heading_id, int text_id,
               int first_button_id, int second_button_id);
  ~NoticeDialog() override;

  // Runs the dialog modally over |owner| (the active window when null) and
  // returns the id of the button that ended it.
  virtual INT_PTR RunModal(HWND owner);
  int RunModal() { return static_cast<int>(RunModal(nullptr)); }

  int GetDialogTemplateId() const override { return kNoticeDialogTemplateId; }
  bool HandleMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                     LRESULT* result) override;

  int language_id() const { return language_id_; }
  int heading_id() const { return heading_id_; }
  int text_id() const { return text_id_; }
  int first_button_id() const { return first_button_id_; }
  int second_button_id() const { return second_button_id_; }
  NoticeButtons buttons() const { return buttons_; }
  const NoticeTextMargins& margins() const { return *margins_; }
  // The text as the dialog shows it (loaded, and extended where the variant
  // does that).
  virtual std::wstring Text() const;

  // Tests: other picture resources (a missing one among them).
  void set_pictures(int background, int first_button, int second_button) {
    pictures_[0] = background;
    pictures_[1] = first_button;
    pictures_[2] = second_button;
  }

 protected:
  // What the first button does; the default ends the dialog with 1.
  virtual void OnFirstButton();

  int language_id_;
  int heading_id_;
  int text_id_;
  int first_button_id_;
  int second_button_id_;
  NoticeButtons buttons_ = NoticeButtons::kLeftAligned;
  const NoticeTextMargins* margins_ = &kNoticeMarginsA;

 private:
  void InitDialogSteps();
  void SetTexts();
  void SizeWindow();
  void CreateButtons();
  void LayoutButtons();
  void LayoutTexts();
  void CreateShadow();
  void OnPaint();
  LRESULT OnCustomDraw(const NMCUSTOMDRAW& draw);
  LRESULT OnCtlColorStatic(HDC dc, HWND control);
  void OnCommand(int id);
  HWND TextControl() const;
  // The picture's offset in the box: the shadow's left and top widths.
  POINT BoxOffset() const;

  int pictures_[3] = {kNoticeBackgroundPicture, kNoticeFirstButtonPicture,
                      kNoticeSecondButtonPicture};
  ResourceBitmap background_;
  std::unique_ptr<ImageButton> first_button_;
  std::unique_ptr<ImageButton> second_button_;
  lite_util::ScopedFont button_font_;
  lite_util::ScopedFont heading_font_;
  lite_util::ScopedFont text_font_;
  ShadowWindow shadow_;
};

// "Installation not complete. Resume?": Resume ends with 1, Cancel with 213.
class ConfirmCancelDialog : public NoticeDialog {
 public:
  explicit ConfirmCancelDialog(int language_id);
};

// An error with the text of |text_id|, which |extend_text| (may be empty)
// may extend before it is shown; one centred button, ends with 213.
class ErrorMessageDialog : public NoticeDialog {
 public:
  using TextExtender = std::function<void(std::wstring* text)>;
  ErrorMessageDialog(int language_id, int text_id, TextExtender extend_text);

  std::wstring Text() const override;

 protected:
  TextExtender extend_text_;
};

// An old CryptoPro revocation provider is installed; ends with 213.
class CryptoProErrorDialog : public NoticeDialog {
 public:
  explicit CryptoProErrorDialog(int language_id);
};

// Opens a web page address; true when the system took it.
using UrlOpener = std::function<bool(const std::wstring& url)>;
// ShellExecuteW "open" with |show_command| (test builds: the seam value
// OPEN_URL_RECORD names a file the address is appended to instead).
bool OpenUrlShowing(const std::wstring& url, int show_command);
// OpenUrlShowing with SW_SHOWNORMAL.
bool OpenUrlWithShell(const std::wstring& url);

// The download failed: Download opens the manual download page and ends
// with 1; Cancel ends with 213.
class DownloadErrorDialog : public NoticeDialog {
 public:
  DownloadErrorDialog(const std::wstring& download_page_url, int language_id);

  const std::wstring& download_page_url() const { return download_page_url_; }
  // The web site host the page must be on; empty accepts any of the site's
  // country hosts.
  void set_page_host(const std::string& host) { page_host_ = host; }
  const std::string& page_host() const { return page_host_; }
  void set_url_opener(UrlOpener opener) { url_opener_ = std::move(opener); }

  // Opens the page when its address is an accepted download page address
  // (logged and refused otherwise); true when it was opened.
  bool OpenDownloadPage();

 protected:
  void OnFirstButton() override;

 private:
  std::wstring download_page_url_;
  std::string page_host_;
  UrlOpener url_opener_ = &OpenUrlWithShell;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_DIALOGS_NOTICE_DIALOG_H_
