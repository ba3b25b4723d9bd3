// The installer's main window with its first and progress screens.
#ifndef INSTALLER_UI_MAIN_WINDOW_H_
#define INSTALLER_UI_MAIN_WINDOW_H_

#include <memory>

namespace lite_installer {

class BrandInfo;
class DistribInfoParams;
class Installer;

class MainWindow {
 public:
  MainWindow(const BrandInfo* brand, const DistribInfoParams* distrib,
             bool with_installer);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;
  ~MainWindow();

  // 1: ended normally; 2: system close; 212: cancel confirmed during
  // installation; 213: first screen closed.
  int RunModal();
  // The window's installer, or null when it was built without one.
  Installer* installer() const { return installer_.get(); }

 private:
  std::unique_ptr<Installer> installer_;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_MAIN_WINDOW_H_
