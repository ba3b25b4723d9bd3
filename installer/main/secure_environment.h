// DLL-search hardening at start-up, and the fallback for systems without
// the hardening functions: run a copy of the installer from a fresh
// temporary folder that holds nothing a DLL search could pick up.
#ifndef INSTALLER_MAIN_SECURE_ENVIRONMENT_H_
#define INSTALLER_MAIN_SECURE_ENVIRONMENT_H_

namespace lite_installer {

enum SecureEnvironmentStatus {
  kInsecure = 0,
  kNotFound = 1,
  kSecure = 2,
  kDllFound = 3,
  kChildFinished = 4,
};

constexpr int kDllFoundExitCode = -200;

SecureEnvironmentStatus CheckSecureEnvironment(int* exit_code);
SecureEnvironmentStatus RelaunchFromProtectedDirectory(int* exit_code);

}  // namespace lite_installer

#endif  // INSTALLER_MAIN_SECURE_ENVIRONMENT_H_
