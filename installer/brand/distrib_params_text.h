// The distribution parameters' text form: key=value pairs joined by "&".
// A byte parser: no Windows, file or registry calls, so that the release
// tools' fuzzing build can compile it on its own.
#ifndef INSTALLER_BRAND_DISTRIB_PARAMS_TEXT_H_
#define INSTALLER_BRAND_DISTRIB_PARAMS_TEXT_H_

#include <map>
#include <string>

namespace lite_installer {

using DistribParamsMap = std::map<std::string, std::string>;

// Splits |text| at every "&"; in each pair the key runs to the first "="
// (or the whole pair when there is none) and the value is the rest. Nothing
// is percent-decoded; empty keys are kept; a later key replaces an earlier
// one. "a=1&b=x=y&c" gives a = 1, b = x=y, c = "".
DistribParamsMap ParseDistribParams(const std::string& text);

// Two-state flags ("def", "stat"): defined only for exactly "1" (true) or
// exactly "2" (false). Returns whether |value| defines the flag; |flag| is
// false when it does not.
bool ParseTwoStateFlag(const std::string& value, bool* flag);

}  // namespace lite_installer

#endif  // INSTALLER_BRAND_DISTRIB_PARAMS_TEXT_H_
