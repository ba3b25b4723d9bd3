// The install events: which fields each one carries and the exact form of
// their values. Each builder returns the event; sending is the caller's.
#ifndef INSTALLER_STATS_INSTALL_EVENTS_H_
#define INSTALLER_STATS_INSTALL_EVENTS_H_

#include <cstdint>
#include <string>

#include "installer/install/download/download_event_reporter.h"
#include "installer/install/install_statistics.h"
#include "installer/stats/stat_event.h"

namespace lite_installer {

// |scale| is the window's device scale factor (1.0 at 96 dpi).
StatEvent InstallerStartedEvent(double scale, int screen_width,
                                int screen_height);
StatEvent DownloadStartedEvent();
// Sent right before the attempt event of a failed attempt.
StatEvent DownloadErrorEvent(const DownloadAttemptRecord& attempt);
StatEvent DownloadAttemptEvent(const DownloadAttemptRecord& attempt);
StatEvent DownloadFinishedEvent(int64_t download_time_us);
StatEvent SetupArchiveLockErrorEvent();
StatEvent VerificationErrorEvent();
// |old_version| is the sender's old_ver parameter: an update when not
// empty. |uac_notifications_enabled| comes from AreUACNotificationsEnabled.
StatEvent SetupLaunchedEvent(const std::string& old_version,
                             bool uac_notifications_enabled,
                             bool elevated_copy);
StatEvent SetupExitedEvent(const std::string& old_version,
                           const SetupRunOutcome& outcome,
                           int64_t setup_time_us);
StatEvent InstallButtonClickedEvent();
// The dialog events: |field| is clicked_button, clicked_link or
// choosen_checkbox.
StatEvent DialogEvent(const char* field, const std::wstring& text);

// The host of a redirect address, empty when there is none or it cannot be
// parsed.
std::wstring RedirectHost(const std::wstring& redirect_url);

}  // namespace lite_installer

#endif  // INSTALLER_STATS_INSTALL_EVENTS_H_
