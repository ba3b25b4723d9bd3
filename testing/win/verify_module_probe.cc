// Runs the installer's trust verification of a setup archive, for the
// integration tests:
//   verify_module_probe.exe [--verify-signer] [--win7-version V]
//                           [--crypt-version V] [--no-win7update] PATH
// Prints every log record as "<SEVERITY> <function>: <text>", then
// "result=<0|1>", and exits with 0 when the archive was accepted, 1 when it
// was refused, 2 on a usage error. Without options it calls the installer's
// VerifyModule; the options set the experiment parameters of the extended
// check (the installer uses their defaults).
#include <windows.h>

#include <cstdio>
#include <string>

#include "installer/install/trust/module_verifier.h"
#include "installer/install/trust/trust_json.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/string_util.h"

namespace {

class PrintingSink : public lite_util::LogSink {
 public:
  void Emit(const lite_util::LogRecord& record) override {
    std::printf("%s %s: %s\n", lite_util::LogSeverityName(record.severity),
                record.function_name, record.text.c_str());
    std::fflush(stdout);
  }
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  lite_installer::ExtendedCheckConfig config;
  int i = 1;
  for (; i < argc - 1; ++i) {
    std::wstring option = argv[i];
    if (option == L"--verify-signer") {
      config.verify_signer = true;
    } else if (option == L"--no-win7update") {
      config.win7update = false;
    } else if (option == L"--win7-version" && i + 2 < argc) {
      config.win7_version = lite_util::WideToUtf8(argv[++i]);
    } else if (option == L"--crypt-version" && i + 2 < argc) {
      config.crypt_version = lite_util::WideToUtf8(argv[++i]);
    } else {
      break;
    }
  }
  if (i != argc - 1) {
    std::printf("usage: verify_module_probe.exe [options] PATH\n");
    return 2;
  }
  lite_util::SetLogSink(new PrintingSink());
  const std::wstring path = argv[i];
  bool accepted;
  if (i == 1) {
    accepted = lite_installer::VerifyModule(path, false);
  } else {
    lite_installer::TrustVerifier verifier(
        lite_installer::GetTrustJsonFromModule(path), config);
    accepted = verifier.VerifyModule(path, false);
  }
  std::printf("result=%d\n", accepted ? 1 : 0);
  std::fflush(stdout);
  lite_util::SetLogSink(nullptr);
  return accepted ? 0 : 1;
}
