// The installer's small modal dialogs: notices, the cancel confirmation and
// the error dialogs. Each variant ends with the id of its button: 1 (first
// button) or 213 (second button).
#ifndef INSTALLER_UI_NOTICE_DIALOG_H_
#define INSTALLER_UI_NOTICE_DIALOG_H_

#include <windows.h>

#include <functional>
#include <string>

namespace lite_installer {

class NoticeDialog {
 public:
  // The notice variant: string ids of the heading, the text and the two
  // buttons (second 0: one button).
  NoticeDialog(int language_id, int heading_id, int text_id,
               int first_button_id, int second_button_id);
  virtual ~NoticeDialog();

  // Runs the dialog modally over |owner| (the active window when null) and
  // returns the id of the button that ended it.
  virtual INT_PTR RunModal(HWND owner);
  int RunModal() { return static_cast<int>(RunModal(nullptr)); }

  int heading_id() const { return heading_id_; }
  int text_id() const { return text_id_; }

 protected:
  int language_id_;
  int heading_id_;
  int text_id_;
  int first_button_id_;
  int second_button_id_;
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

 protected:
  TextExtender extend_text_;
};

// An old CryptoPro revocation provider is installed; ends with 213.
class CryptoProErrorDialog : public NoticeDialog {
 public:
  explicit CryptoProErrorDialog(int language_id);
};

// The download failed: Download opens the manual download page and ends
// with 1; Cancel ends with 213.
class DownloadErrorDialog : public NoticeDialog {
 public:
  DownloadErrorDialog(const std::wstring& download_page_url, int language_id);

  const std::wstring& download_page_url() const { return download_page_url_; }

 private:
  std::wstring download_page_url_;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_NOTICE_DIALOG_H_
