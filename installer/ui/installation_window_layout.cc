#include "installer/ui/installation_window_layout.h"

namespace lite_installer {
namespace {

constexpr RECT kEmpty = {0, 0, 0, 0};

// The taskbar-shortcut box of both variants (the Facetune window is never
// offered it, but answers the same geometry).
RECT TaskbarBox(int check_box_set, int height) {
  switch (check_box_set) {
    case 4: return {60, 315, 525, height};
    case 5: return {60, 324, 525, height};
    case 6: return {60, 279, 525, height};
    case 7: return {60, 280, 525, height};
  }
  return kEmpty;
}

}  // namespace

RECT InstallationWindowLayout::ClientRect() const {
  SIZE size = WindowSize();
  return {0, 0, size.cx, size.cy};
}

RECT InstallationWindowLayoutOrigin::TaglineRect(int check_box_set) const {
  if (check_box_set == 7) return {0, 152, 728, 250};
  return {0, 182, 728, 250};
}

RECT InstallationWindowLayoutOrigin::StatisticsCheckBoxRect(
    int check_box_set) const {
  int h = WindowSize().cy;
  switch (check_box_set) {
    case 2:
    case 3: return {60, 305, 308, h};
    case 6: return {60, 309, 525, h};
    case 7: return {60, 310, 525, h};
  }
  return kEmpty;
}

RECT InstallationWindowLayoutOrigin::DefaultBrowserCheckBoxRect(
    int check_box_set) const {
  int h = WindowSize().cy;
  switch (check_box_set) {
    case 1: return {60, 305, 525, h};
    case 3: return {314, 305, 537, h};
    case 5: return {60, 294, 525, h};
    case 7: return {60, 250, 525, h};
  }
  return kEmpty;
}

RECT InstallationWindowLayoutOrigin::TaskbarCheckBoxRect(
    int check_box_set) const {
  return TaskbarBox(check_box_set, WindowSize().cy);
}

RECT InstallationWindowLayoutOrigin::PrivacyLinkRect() const {
  return {84, 0, 310, WindowSize().cy - 10};
}

RECT InstallationWindowLayoutOrigin::LicenseAreaRect() const {
  return {400, 38, 667, WindowSize().cy};
}

RECT InstallationWindowLayoutOrigin::ProgressLicenseAreaRect() const {
  return {424, 350, 666, WindowSize().cy};
}

RECT InstallationWindowLayoutFacetune::StatisticsCheckBoxRect(
    int check_box_set) const {
  return (check_box_set & 2) ? RECT{61, 235, 454, 428} : kEmpty;
}

RECT InstallationWindowLayoutFacetune::DefaultBrowserCheckBoxRect(
    int check_box_set) const {
  return (check_box_set & 1) ? RECT{61, 207, 454, 428} : kEmpty;
}

RECT InstallationWindowLayoutFacetune::TaskbarCheckBoxRect(
    int check_box_set) const {
  return TaskbarBox(check_box_set, WindowSize().cy);
}

RECT InstallationWindowLayoutFacetune::ProgressLicenseAreaRect() const {
  return {424, 350, 666, WindowSize().cy};
}

}  // namespace lite_installer
