// libFuzzer target: the distribution parameter text parser. Checks that
// every key and value comes from the text and that the pairs, joined again,
// parse to the same map.
#include <cstddef>
#include <cstdint>
#include <string>

#include "installer/brand/distrib_params_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  lite_installer::DistribParamsMap params =
      lite_installer::ParseDistribParams(text);
  std::string joined;
  bool first = true;
  for (const auto& param : params) {
    if (param.first.find('&') != std::string::npos ||
        param.first.find('=') != std::string::npos ||
        param.second.find('&') != std::string::npos) {
      __builtin_trap();
    }
    if (!first)
      joined += '&';
    first = false;
    joined += param.first + "=" + param.second;
  }
  if (!text.empty() && params.empty())
    __builtin_trap();
  if (!params.empty() && lite_installer::ParseDistribParams(joined) != params)
    __builtin_trap();
  bool flag = true;
  lite_installer::ParseTwoStateFlag(text, &flag);
  if (flag && text != "1")
    __builtin_trap();
  return 0;
}
