// Chooses the dialog that reports an installation error code.
#ifndef INSTALLER_UI_DIALOGS_ERROR_DIALOG_FACTORY_H_
#define INSTALLER_UI_DIALOGS_ERROR_DIALOG_FACTORY_H_

#include <memory>

namespace lite_installer {

class BrandInfo;
class DistribInfoParams;
class NoticeDialog;

// The switch that replaces the download error dialog by an error with the
// log file's path.
constexpr char kDisableErrorDialogDownloadButtonSwitch[] =
    "disable-error-dialog-download-button";

class ErrorDialogFactory {
 public:
  // Reads kDisableErrorDialogDownloadButtonSwitch from this process's
  // command line.
  ErrorDialogFactory(const BrandInfo* brand, const DistribInfoParams* distrib);

  // The dialog for |error_code|, or null for 0 (no error): 3 the CryptoPro
  // error, 4 to 7 an error with its message, any other the download error
  // dialog (with the switch: an error naming the log file).
  std::unique_ptr<NoticeDialog> Create(int error_code) const;

  void set_download_button_disabled(bool disabled) {
    download_button_disabled_ = disabled;
  }

 private:
  const BrandInfo* brand_;
  const DistribInfoParams* distrib_;
  bool download_button_disabled_;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_DIALOGS_ERROR_DIALOG_FACTORY_H_
