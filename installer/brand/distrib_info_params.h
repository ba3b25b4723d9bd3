// The distribution parameters: key=value pairs joined by "&", from the
// command line or the tag in the installer's signature.
#ifndef INSTALLER_BRAND_DISTRIB_INFO_PARAMS_H_
#define INSTALLER_BRAND_DISTRIB_INFO_PARAMS_H_

#include <map>
#include <string>

namespace lite_installer {

class DistribInfoParams {
 public:
  DistribInfoParams() = default;
  DistribInfoParams(const DistribInfoParams&) = delete;
  DistribInfoParams& operator=(const DistribInfoParams&) = delete;

  // True when a distribution info file path was produced.
  bool Load();
  bool Find(const std::string& key, std::string* value) const;
  const std::map<std::string, std::string>& params() const { return params_; }

 private:
  std::map<std::string, std::string> params_;
};

}  // namespace lite_installer

#endif  // INSTALLER_BRAND_DISTRIB_INFO_PARAMS_H_
