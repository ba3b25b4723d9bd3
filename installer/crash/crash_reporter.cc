#include "installer/crash/crash_reporter.h"

namespace lite_installer {

void CrashReporter::SetAnnotation(const std::string& key,
                                  const std::string& value) {
  if (key.empty() || value.empty()) return;
  annotations_[key] = value;
}

}  // namespace lite_installer
