// Geometry of the installer window's two variants, in 96-DPI units (the
// caller scales). A check-box set is bit 0: default-browser box offered,
// bit 1: statistics box offered, bit 2: taskbar-shortcut box offered.
#ifndef INSTALLER_UI_INSTALLATION_WINDOW_LAYOUT_H_
#define INSTALLER_UI_INSTALLATION_WINDOW_LAYOUT_H_

#include <windows.h>

namespace lite_installer {

class InstallationWindowLayout {
 public:
  virtual ~InstallationWindowLayout() = default;

  virtual SIZE WindowSize() const = 0;
  RECT ClientRect() const;
  virtual int CornerRadius() const = 0;
  virtual int ShadowCornerOverlap() const = 0;
  virtual RECT TaglineRect(int check_box_set) const = 0;
  virtual RECT StatisticsCheckBoxRect(int check_box_set) const = 0;
  virtual RECT DefaultBrowserCheckBoxRect(int check_box_set) const = 0;
  virtual RECT TaskbarCheckBoxRect(int check_box_set) const = 0;
  virtual RECT PrivacyLinkRect() const = 0;
  virtual int CheckBoxTextGap() const = 0;
  virtual POINT InstallButtonOrigin() const = 0;
  virtual RECT InstallButtonTextInsets() const = 0;
  virtual POINT CloseButtonOrigin() const = 0;
  // False in the variant without a minimize button.
  virtual bool HasMinimizeButton() const = 0;
  virtual POINT MinimizeButtonOrigin() const = 0;
  virtual RECT LogoRect() const = 0;
  virtual RECT LicenseAreaRect() const = 0;
  virtual RECT ProgressBarRect() const = 0;
  virtual RECT ProgressTextRect() const = 0;
  virtual RECT ProgressLicenseAreaRect() const = 0;
};

class InstallationWindowLayoutOrigin : public InstallationWindowLayout {
 public:
  SIZE WindowSize() const override { return {728, 400}; }
  int CornerRadius() const override { return 0; }
  int ShadowCornerOverlap() const override { return 0; }
  RECT TaglineRect(int check_box_set) const override;
  RECT StatisticsCheckBoxRect(int check_box_set) const override;
  RECT DefaultBrowserCheckBoxRect(int check_box_set) const override;
  RECT TaskbarCheckBoxRect(int check_box_set) const override;
  RECT PrivacyLinkRect() const override;
  int CheckBoxTextGap() const override { return 8; }
  POINT InstallButtonOrigin() const override { return {557, 305}; }
  RECT InstallButtonTextInsets() const override { return {0, 0, 0, 0}; }
  POINT CloseButtonOrigin() const override { return {698, 18}; }
  bool HasMinimizeButton() const override { return false; }
  POINT MinimizeButtonOrigin() const override { return {0, 0}; }
  RECT LogoRect() const override { return {61, 41, 273, 79}; }
  RECT LicenseAreaRect() const override;
  RECT ProgressBarRect() const override { return {392, 56, 684, 60}; }
  RECT ProgressTextRect() const override { return {352, 50, 376, 66}; }
  RECT ProgressLicenseAreaRect() const override;
};

class InstallationWindowLayoutFacetune : public InstallationWindowLayout {
 public:
  SIZE WindowSize() const override { return {802, 430}; }
  int CornerRadius() const override { return 9; }
  int ShadowCornerOverlap() const override { return 1; }
  RECT TaglineRect(int) const override { return {61, 139, 454, 358}; }
  RECT StatisticsCheckBoxRect(int check_box_set) const override;
  RECT DefaultBrowserCheckBoxRect(int check_box_set) const override;
  RECT TaskbarCheckBoxRect(int check_box_set) const override;
  RECT PrivacyLinkRect() const override { return {61, 1, 454, 428}; }
  int CheckBoxTextGap() const override { return 12; }
  POINT InstallButtonOrigin() const override { return {61, 333}; }
  RECT InstallButtonTextInsets() const override { return {0, 0, 0, 8}; }
  POINT CloseButtonOrigin() const override { return {767, 11}; }
  bool HasMinimizeButton() const override { return true; }
  POINT MinimizeButtonOrigin() const override { return {723, 11}; }
  RECT LogoRect() const override { return {61, 41, 273, 79}; }
  RECT LicenseAreaRect() const override { return {555, 333, 757, 428}; }
  RECT ProgressBarRect() const override { return {61, 358, 454, 363}; }
  RECT ProgressTextRect() const override { return {61, 374, 454, 428}; }
  RECT ProgressLicenseAreaRect() const override;
};

}  // namespace lite_installer

#endif  // INSTALLER_UI_INSTALLATION_WINDOW_LAYOUT_H_
