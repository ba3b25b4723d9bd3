#include "installer/stats/install_stat_sender.h"

#include "installer/lite_util/registry.h"
#include "installer/lite_util/string_util.h"
#include "installer/stats/async_http_requester.h"
#include "installer/stats/persistent_stat_parameters.h"
#include "service_hosts.h"

namespace lite_installer {

std::wstring StatisticsHost() {
  return lite_util::Utf8ToWide(KELVRA_STATS_HOST);
}

InstallStatSender::InstallStatSender(int installer_type)
    : InstallStatSender(installer_type,
                        std::unique_ptr<AsyncHttpRequester>(
                            new AsyncHttpRequester())) {}

InstallStatSender::InstallStatSender(
    int installer_type, std::unique_ptr<AsyncHttpRequester> requester)
    : builder_(installer_type, StatisticsHost()),
      requester_(std::move(requester)) {
  LoadPersistentStatParameters(&builder_);
}

InstallStatSender::~InstallStatSender() {
  requester_.reset();
  lite_util::RemoveValueFromBrowserKey(kInstallStatValue);
}

void InstallStatSender::SetParameter(const std::string& name,
                                     const std::string& value) {
  lite_util::AutoLock hold(lock_);
  builder_.SetParameter(name, lite_util::Utf8ToWide(value));
}

std::string InstallStatSender::GetOldVersion() const {
  lite_util::AutoLock hold(lock_);
  return lite_util::WideToUtf8(builder_.GetParameter("old_ver"));
}

bool InstallStatSender::Send(const StatEvent& event) {
  std::wstring url;
  {
    lite_util::AutoLock hold(lock_);
    url = builder_.GetQueryUrl(event);
  }
  return requester_->Send(url);
}

void InstallStatSender::SendDialogEvent(const StatEvent& event) {
  std::wstring url;
  {
    lite_util::AutoLock hold(lock_);
    builder_.set_kind(kStatKindReinstallDialog);
    url = builder_.GetQueryUrl(event);
    builder_.set_kind(kStatKindExtendedStat);
  }
  requester_->Send(url);
}

void InstallStatSender::PersistParameters() {
  std::wstring text;
  {
    lite_util::AutoLock hold(lock_);
    text = builder_.ParameterText();
  }
  lite_util::StoreValueInBrowserKey(kInstallStatValue, text);
}

}  // namespace lite_installer
