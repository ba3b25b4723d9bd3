// The install flow object: downloads, verifies and runs the browser setup.
#ifndef INSTALLER_INSTALL_INSTALLER_H_
#define INSTALLER_INSTALL_INSTALLER_H_

namespace lite_installer {

class BrandInfo;
class DistribInfoParams;
class InstallerDelegate;

// Exit codes of an installation that did not reach the setup's own code.
constexpr int kSetupNeverRan = 400;
constexpr int kArchiveNotObtained = 401;
constexpr int kArchiveNotVerified = 402;

class Installer {
 public:
  Installer(InstallerDelegate* delegate, const BrandInfo* brand,
            const DistribInfoParams* distrib, bool with_async_tasks);
  Installer(const Installer&) = delete;
  Installer& operator=(const Installer&) = delete;
  virtual ~Installer();

  // Runs the whole installation on the calling thread (silent mode).
  void InstallSynchronously();

  void SetMakeDefault(bool make_default) { make_default_ = make_default; }
  void set_send_statistics(bool send) { send_statistics_ = send; }
  void set_install_kvpin(bool install) { install_kvpin_ = install; }
  int setup_exit_code() const { return setup_exit_code_; }

 private:
  InstallerDelegate* delegate_;
  const BrandInfo* brand_;
  const DistribInfoParams* distrib_;
  bool make_default_ = false;
  bool send_statistics_ = false;
  bool install_kvpin_ = true;
  int setup_exit_code_ = kSetupNeverRan;
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_INSTALLER_H_
