#include "installer/ui/localized_strings.h"

namespace lite_installer {

std::wstring LoadLocalizedString(int, int) {
  // The string tables come with the localisation work.
  return std::wstring();
}

}  // namespace lite_installer
