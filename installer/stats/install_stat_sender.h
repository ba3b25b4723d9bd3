// The statistics sender of one installation: the parameters every request
// repeats (see persistent_stat_parameters.h), one URL per event, queued to
// the worker of AsyncHttpRequester so that no caller waits for the network.
// The window thread and the install thread both use it; one lock covers the
// parameters and the kind.
#ifndef INSTALLER_STATS_INSTALL_STAT_SENDER_H_
#define INSTALLER_STATS_INSTALL_STAT_SENDER_H_

#include <memory>
#include <string>

#include "installer/lite_util/lock.h"
#include "installer/stats/stat_event.h"
#include "installer/stats/stat_query_builder.h"

namespace lite_installer {

class AsyncHttpRequester;

// The statistics host of the browser API service (build configuration).
std::wstring StatisticsHost();

class InstallStatSender {
 public:
  // Reads the persistent parameters; the worker starts with the first event.
  explicit InstallStatSender(int installer_type);
  // For tests: the requests go to |requester|.
  InstallStatSender(int installer_type,
                    std::unique_ptr<AsyncHttpRequester> requester);
  InstallStatSender(const InstallStatSender&) = delete;
  InstallStatSender& operator=(const InstallStatSender&) = delete;
  // Stops the worker (queued requests are dropped) and removes the
  // registry value install_stat.
  ~InstallStatSender();

  // brand_id, partner_id, banner_id, kelvra_uid, distr_kelvra_uid, new_ver
  // or install_type, with a UTF-8 value.
  void SetParameter(const std::string& name, const std::string& value);
  // The old_ver parameter in UTF-8, empty when absent.
  std::string GetOldVersion() const;

  // Queues the event's URL under the current kind; false only when the
  // worker thread cannot be started.
  bool Send(const StatEvent& event);
  // Queues the event's URL under the reinstall-dialog kind.
  void SendDialogEvent(const StatEvent& event);

  // Stores the parameters as registry value install_stat for the browser's
  // setup.
  void PersistParameters();

 private:
  mutable lite_util::Lock lock_;
  StatQueryBuilder builder_;
  std::unique_ptr<AsyncHttpRequester> requester_;
};

}  // namespace lite_installer

#endif  // INSTALLER_STATS_INSTALL_STAT_SENDER_H_
