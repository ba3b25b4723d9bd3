// The distribution parameters: key=value pairs joined by "&", from the
// "distr-info-params" switch or the tag stamped into the installer's
// signature. Loaded once by the entry, published for the browser setup as
// the distrib_info JSON file and the registry value "DistribInfoParams",
// read-only afterwards.
#ifndef INSTALLER_BRAND_DISTRIB_INFO_PARAMS_H_
#define INSTALLER_BRAND_DISTRIB_INFO_PARAMS_H_

#include <string>

#include "installer/brand/distrib_params_text.h"

namespace lite_installer {

class CommandLine;

class DistribInfoParams {
 public:
  DistribInfoParams();
  DistribInfoParams(const DistribInfoParams&) = delete;
  DistribInfoParams& operator=(const DistribInfoParams&) = delete;
  virtual ~DistribInfoParams();

  // Exact key lookup; copies the value when found.
  virtual bool Find(const std::string& key, std::string* value) const;
  // Writes |text|, widened byte by byte, as "DistribInfoParams" under the
  // browser key.
  virtual void StoreInRegistry(const std::string& text);
  // This program's path; empty on failure or truncation.
  virtual std::wstring GetOwnModulePath() const;

  // Reads the parameters for this process; true when a distribution info
  // file path was produced.
  bool Load();
  // The same with a given command line and temporary directory (with its
  // trailing backslash).
  bool Load(const CommandLine& command_line, const std::wstring& temp_dir);

  // Two-state flag: true only when the value is "1" or "2"; |flag| is then
  // whether it is "1", otherwise false.
  bool GetFlag(const std::string& key, bool* flag) const;

  // The distrib_info file handed to the setup ("distr-info-file"); empty
  // when there are no parameters.
  const std::wstring& GetDistributionInfoFilePath() const {
    return distribution_info_file_path_;
  }
  const DistribParamsMap& params() const { return params_; }

 private:
  std::wstring distribution_info_file_path_;
  DistribParamsMap params_;
};

// The parameters as a JSON object of strings with an indentation of 2;
// empty when the text cannot be made. Keys and values that are not UTF-8
// are taken as Latin-1, the way the registry value widens them.
std::string DistribParamsToJson(const DistribParamsMap& params);

// Writes DistribParamsToJson to |path| (replacing the file); failures are
// logged with the Windows error.
bool CreateJsonFromDistribParams(const DistribParamsMap& params,
                                 const std::wstring& path);

}  // namespace lite_installer

#endif  // INSTALLER_BRAND_DISTRIB_INFO_PARAMS_H_
