#include "installer/ui/dialogs/error_dialog_factory.h"

#include <string>

#include "installer/brand/brand_info.h"
#include "installer/brand/distrib_info_params.h"
#include "installer/brand/web_page_urls.h"
#include "installer/lite_util/logging/file_logger.h"
#include "installer/lite_util/string_util.h"
#include "installer/main/command_line.h"
#include "installer/ui/dialogs/notice_dialog.h"

namespace lite_installer {
namespace {

// Installer error codes with a dialog of their own.
constexpr int kNoError = 0;
constexpr int kOldCryptoProProvider = 3;
// Code -> the message of its error dialog.
constexpr struct {
  int code;
  int text_id;
} kErrorMessages[] = {
    {4, 428},  // the 64-bit browser on a 32-bit system
    {5, 429},  // already installed in Program Files
    {6, 430},  // the new version's folder is blocked
    {7, 425},  // another installer instance is running
};
constexpr int kSeeTheLogTextId = 424;

}  // namespace

ErrorDialogFactory::ErrorDialogFactory(const BrandInfo* brand,
                                       const DistribInfoParams* distrib)
    : brand_(brand),
      distrib_(distrib),
      download_button_disabled_(CommandLine::ForCurrentProcess().HasSwitch(
          kDisableErrorDialogDownloadButtonSwitch)) {}

std::unique_ptr<NoticeDialog> ErrorDialogFactory::Create(
    int error_code) const {
  if (error_code == kNoError) return nullptr;
  const int language = brand_ ? brand_->language_id() : 1033;
  if (error_code == kOldCryptoProProvider)
    return std::make_unique<CryptoProErrorDialog>(language);
  for (const auto& entry : kErrorMessages) {
    if (entry.code == error_code)
      return std::make_unique<ErrorMessageDialog>(language, entry.text_id,
                                                  nullptr);
  }
  if (download_button_disabled_) {
    return std::make_unique<ErrorMessageDialog>(
        language, kSeeTheLogTextId, [](std::wstring* text) {
          *text += L"\r\n" + lite_util::GetLogFilePath();
        });
  }
  const std::string brand_id = brand_ ? brand_->brand_id() : std::string();
  const std::string url =
      brand_ && distrib_ ? GetDownloadPageUrl(*brand_, *distrib_)
                         : BuildDownloadPageUrl(
                               brand_id, distrib_ ? distrib_->params()
                                                  : DistribParamsMap());
  auto dialog = std::make_unique<DownloadErrorDialog>(
      lite_util::WidenBytes(url), language);
  dialog->set_page_host(DownloadPageHost(brand_id));
  return dialog;
}

}  // namespace lite_installer
