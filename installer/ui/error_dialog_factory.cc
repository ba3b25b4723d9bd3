#include "installer/ui/error_dialog_factory.h"

#include "installer/brand/brand_info.h"
#include "installer/ui/notice_dialog.h"

namespace lite_installer {

ErrorDialogFactory::ErrorDialogFactory(const BrandInfo* brand,
                                       const DistribInfoParams* distrib)
    : brand_(brand), distrib_(distrib) {}

std::unique_ptr<NoticeDialog> ErrorDialogFactory::Create(
    int error_code) const {
  if (error_code == 0) return nullptr;
  int language = brand_ ? brand_->language_id() : 0;
  // Every code gets the plain error dialog until the dialog work chooses
  // the variant per code.
  return std::unique_ptr<NoticeDialog>(
      new ErrorMessageDialog(language, 424, nullptr));
}

}  // namespace lite_installer
