// The default-program interface probe, answered by a copy of the installer
// started with "check-the-interface" (exit code 700 when available, 701
// when not).
#ifndef INSTALLER_KELVRA_UTIL_INTERFACE_PROBE_H_
#define INSTALLER_KELVRA_UTIL_INTERFACE_PROBE_H_

namespace lite_installer {

constexpr int kInterfaceAvailableExitCode = 700;
constexpr int kInterfaceUnavailableExitCode = 701;

// The in-process probe run by the probing copy. Until the association
// helper is built it answers "not available".
bool ProbeAssociationInterface();

}  // namespace lite_installer

#endif  // INSTALLER_KELVRA_UTIL_INTERFACE_PROBE_H_
