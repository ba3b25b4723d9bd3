// A log sink for tests: keeps every record it receives.
#ifndef INSTALLER_LITE_UTIL_LOGGING_RECORDING_LOG_SINK_FOR_TEST_H_
#define INSTALLER_LITE_UTIL_LOGGING_RECORDING_LOG_SINK_FOR_TEST_H_

#include <string>
#include <vector>

#include "installer/lite_util/logging/log.h"

namespace lite_util {

class RecordingSink : public LogSink {
 public:
  explicit RecordingSink(std::vector<LogRecord>* records) : records_(records) {}
  void Emit(const LogRecord& record) override { records_->push_back(record); }

 private:
  std::vector<LogRecord>* records_;
};

// The texts of the records logged under |function|, in order.
inline std::vector<std::string> TextsLoggedBy(
    const std::vector<LogRecord>& records, const char* function) {
  std::vector<std::string> texts;
  for (const LogRecord& record : records) {
    if (std::string(record.function_name) == function)
      texts.push_back(record.text);
  }
  return texts;
}

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_LOGGING_RECORDING_LOG_SINK_FOR_TEST_H_
