#include "installer/ui/notice_dialog.h"

#include "installer/lite_util/logging/log.h"

namespace lite_installer {

NoticeDialog::NoticeDialog(int language_id, int heading_id, int text_id,
                           int first_button_id, int second_button_id)
    : language_id_(language_id),
      heading_id_(heading_id),
      text_id_(text_id),
      first_button_id_(first_button_id),
      second_button_id_(second_button_id) {}

NoticeDialog::~NoticeDialog() = default;

INT_PTR NoticeDialog::RunModal(HWND owner) {
  // The dialogs come with the dialog work; until then each one is logged
  // and answered with its default: the first button, or the only one.
  LOG(WARNING) << "Dialog " << heading_id_ << "/" << text_id_
               << " not shown: dialogs are not available in this build";
  return first_button_id_ != 0 ? 1 : 213;
}

ConfirmCancelDialog::ConfirmCancelDialog(int language_id)
    : NoticeDialog(language_id, 414, 0, 415, 416) {}

ErrorMessageDialog::ErrorMessageDialog(int language_id, int text_id,
                                       TextExtender extend_text)
    : NoticeDialog(language_id, 423, text_id, 0, 413),
      extend_text_(std::move(extend_text)) {}

CryptoProErrorDialog::CryptoProErrorDialog(int language_id)
    : NoticeDialog(language_id, 426, 427, 0, 413) {}

DownloadErrorDialog::DownloadErrorDialog(const std::wstring& download_page_url,
                                         int language_id)
    : NoticeDialog(language_id, 423, 431, 435, 436),
      download_page_url_(download_page_url) {}

}  // namespace lite_installer
