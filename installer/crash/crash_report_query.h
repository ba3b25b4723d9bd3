// The query of a crash report's URL: the product, version and guid
// annotations, each value percent-escaped.
#ifndef INSTALLER_CRASH_CRASH_REPORT_QUERY_H_
#define INSTALLER_CRASH_CRASH_REPORT_QUERY_H_

#include <map>
#include <string>

namespace lite_installer {

// Keeps ASCII letters, digits and "-_.~"; every other byte becomes "%"
// and two upper-case hexadecimal digits.
std::string EscapeQueryValue(const std::string& value);

// "?product=<prod>&version=<ver>&guid=<guid>", each parameter present only
// when its annotation is; the first present one starts with "?". Empty
// when none is.
std::string BuildCrashReportQuery(
    const std::map<std::string, std::string>& annotations);

}  // namespace lite_installer

#endif  // INSTALLER_CRASH_CRASH_REPORT_QUERY_H_
