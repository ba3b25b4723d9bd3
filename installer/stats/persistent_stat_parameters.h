// The parameters a statistics sender starts with: those an earlier run left
// in the registry value install_stat, then launched, ui, old_ver, lite_ver
// and installer_type from this machine and this program.
#ifndef INSTALLER_STATS_PERSISTENT_STAT_PARAMETERS_H_
#define INSTALLER_STATS_PERSISTENT_STAT_PARAMETERS_H_

#include <string>

namespace lite_installer {

class StatQueryBuilder;

// The registry value (browser key) that keeps the parameters for the
// browser's own setup while an installation runs.
extern const wchar_t kInstallStatValue[];

// The name of the event by which a browser started from |command_line| (the
// value InstallerSuccessLaunchCmdLine) shows that it runs: quotes around it
// dropped, "\" as "!", ASCII letters in lower case, "Global\\" in front.
// Empty for a value of 2 characters or fewer.
std::wstring LaunchedEventName(const std::wstring& command_line);

// Fills |builder| as a new sender's parameters.
void LoadPersistentStatParameters(StatQueryBuilder* builder);

}  // namespace lite_installer

#endif  // INSTALLER_STATS_PERSISTENT_STAT_PARAMETERS_H_
