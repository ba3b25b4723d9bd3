// In-process crash reporting. The entry creates one CrashReporter for the
// life of the run and annotates it; the minidump and its upload come with
// the crash-report work, until then the reporter only keeps annotations.
#ifndef INSTALLER_CRASH_CRASH_REPORTER_H_
#define INSTALLER_CRASH_CRASH_REPORTER_H_

#include <map>
#include <string>

namespace lite_installer {

class CrashReporter {
 public:
  CrashReporter() = default;
  CrashReporter(const CrashReporter&) = delete;
  CrashReporter& operator=(const CrashReporter&) = delete;
  ~CrashReporter() = default;

  // Ignored when either is empty; replaces an earlier value of the key.
  void SetAnnotation(const std::string& key, const std::string& value);
  const std::map<std::string, std::string>& annotations() const {
    return annotations_;
  }

 private:
  std::map<std::string, std::string> annotations_;
};

}  // namespace lite_installer

#endif  // INSTALLER_CRASH_CRASH_REPORTER_H_
