// A notice: heading, text and buttons from the string tables.
#ifndef INSTALLER_UI_NOTICE_DIALOG_H_
#define INSTALLER_UI_NOTICE_DIALOG_H_

namespace lite_installer {

class NoticeDialog {
 public:
  // String ids of the heading, the text and up to two buttons (0: none).
  NoticeDialog(int language_id, int heading_id, int text_id,
               int first_button_id, int second_button_id);
  // Returns the id of the button that ended the dialog.
  int RunModal();

 private:
  int language_id_;
  int heading_id_;
  int text_id_;
  int first_button_id_;
  int second_button_id_;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_NOTICE_DIALOG_H_
