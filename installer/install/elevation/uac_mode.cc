#include "installer/install/elevation/uac_mode.h"

#include <climits>

#include "installer/brand/distrib_info_params.h"
#include "installer/brand/predetermined_choices.h"
#include "installer/main/command_line.h"

namespace lite_installer {

int ParseUacValue(const std::string& text) {
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') break;
    int digit = c - '0';
    if (value > (INT_MAX - digit) / 10) return 0;
    value = value * 10 + digit;
  }
  return value;
}

int GetUacMode(const BrandInfo* brand, const DistribInfoParams* distrib,
               const CommandLine& command_line) {
  if (command_line.HasSwitch("system-level") ||
      command_line.HasSwitch("program-files-installation")) {
    return 0;
  }
  std::string text;
  if (!distrib || !distrib->Find("uac", &text)) return 0;
  switch (ParseUacValue(text)) {
    case 0:
      return IsFirstScreenSkipped(brand, distrib) ? 1 : 0;
    case 1:
      return 1;
    case 2:
      return 2;
    default:
      return 0;
  }
}

}  // namespace lite_installer
