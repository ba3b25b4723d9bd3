// Distribution parameters from a map, without loading anything.
#ifndef INSTALLER_BRAND_MAP_DISTRIB_PARAMS_FOR_TEST_H_
#define INSTALLER_BRAND_MAP_DISTRIB_PARAMS_FOR_TEST_H_

#include <map>
#include <string>

#include "installer/brand/distrib_info_params.h"

namespace lite_installer {

using ParamMap = std::map<std::string, std::string>;

class MapParams : public DistribInfoParams {
 public:
  explicit MapParams(ParamMap params)
      : params_(std::move(params)) {}
  bool Find(const std::string& key, std::string* value) const override {
    auto it = params_.find(key);
    if (it == params_.end()) return false;
    *value = it->second;
    return true;
  }

 private:
  ParamMap params_;
};

}  // namespace lite_installer

#endif  // INSTALLER_BRAND_MAP_DISTRIB_PARAMS_FOR_TEST_H_
