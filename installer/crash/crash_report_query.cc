#include "installer/crash/crash_report_query.h"

#include <cstdio>

namespace lite_installer {

std::string EscapeQueryValue(const std::string& value) {
  std::string escaped;
  for (char c : value) {
    bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' ||
                c == '~';
    if (keep) {
      escaped += c;
    } else {
      char code[4];
      std::snprintf(code, sizeof(code), "%%%02X",
                    static_cast<unsigned char>(c));
      escaped += code;
    }
  }
  return escaped;
}

std::string BuildCrashReportQuery(
    const std::map<std::string, std::string>& annotations) {
  static const struct {
    const char* annotation;
    const char* parameter;
  } kParameters[] = {
      {"prod", "product"}, {"ver", "version"}, {"guid", "guid"}};
  std::string query;
  for (const auto& p : kParameters) {
    auto it = annotations.find(p.annotation);
    if (it == annotations.end()) continue;
    query += query.empty() ? '?' : '&';
    query += std::string(p.parameter) + "=" + EscapeQueryValue(it->second);
  }
  return query;
}

}  // namespace lite_installer
