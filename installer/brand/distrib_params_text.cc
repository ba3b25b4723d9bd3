#include "installer/brand/distrib_params_text.h"

namespace lite_installer {

DistribParamsMap ParseDistribParams(const std::string& text) {
  DistribParamsMap params;
  if (text.empty())
    return params;
  size_t begin = 0;
  while (true) {
    size_t end = text.find('&', begin);
    if (end == std::string::npos)
      end = text.size();
    size_t equals = text.find('=', begin);
    if (equals == std::string::npos || equals > end) {
      params[text.substr(begin, end - begin)] = std::string();
    } else {
      params[text.substr(begin, equals - begin)] =
          text.substr(equals + 1, end - equals - 1);
    }
    if (end == text.size())
      break;
    begin = end + 1;
  }
  return params;
}

bool ParseTwoStateFlag(const std::string& value, bool* flag) {
  bool defined = value == "1" || value == "2";
  if (flag)
    *flag = value == "1";
  return defined;
}

}  // namespace lite_installer
