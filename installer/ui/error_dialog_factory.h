// Chooses the dialog that reports an installation error code.
#ifndef INSTALLER_UI_ERROR_DIALOG_FACTORY_H_
#define INSTALLER_UI_ERROR_DIALOG_FACTORY_H_

#include <memory>

namespace lite_installer {

class BrandInfo;
class DistribInfoParams;
class NoticeDialog;

class ErrorDialogFactory {
 public:
  ErrorDialogFactory(const BrandInfo* brand, const DistribInfoParams* distrib);

  // The dialog for |error_code|, or null for 0 (no error).
  std::unique_ptr<NoticeDialog> Create(int error_code) const;

 private:
  const BrandInfo* brand_;
  const DistribInfoParams* distrib_;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_ERROR_DIALOG_FACTORY_H_
