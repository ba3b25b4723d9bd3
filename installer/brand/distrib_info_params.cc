#include "installer/brand/distrib_info_params.h"

namespace lite_installer {

bool DistribInfoParams::Load() {
  // Reading the parameters comes with the distribution-parameter work.
  return false;
}

bool DistribInfoParams::Find(const std::string& key, std::string* value) const {
  auto it = params_.find(key);
  if (it == params_.end()) return false;
  if (value) *value = it->second;
  return true;
}

}  // namespace lite_installer
