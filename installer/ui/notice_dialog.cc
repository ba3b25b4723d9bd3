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

int NoticeDialog::RunModal() {
  // The dialog comes with the dialog work; until then the notice is logged
  // and answered with its first button.
  LOG(WARNING) << "Notice " << heading_id_ << "/" << text_id_
               << " not shown: dialogs are not available in this build";
  return 1;
}

}  // namespace lite_installer
