#include "installer/brand/distrib_info_params.h"

#include <windows.h>

#include <jansson.h>

#include <memory>

#include "installer/brand/installer_tag.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/registry.h"
#include "installer/lite_util/scoped_handle.h"
#include "installer/lite_util/string_util.h"
#include "installer/main/command_line.h"

namespace lite_installer {
namespace {

constexpr char kDistribInfoParamsSwitch[] = "distr-info-params";
constexpr wchar_t kDistribInfoParamsValue[] = L"DistribInfoParams";
constexpr wchar_t kDistribInfoFileName[] = L"distrib_info";

struct JsonDeleter {
  void operator()(json_t* json) const { json_decref(json); }
};
using ScopedJson = std::unique_ptr<json_t, JsonDeleter>;

struct MallocDeleter {
  void operator()(char* text) const { free(text); }
};

std::string Latin1ToUtf8(const std::string& bytes) {
  return lite_util::WideToUtf8(lite_util::WidenBytes(bytes));
}

// jansson refuses text that is not UTF-8; such text (a switch value holds
// the low bytes of UTF-16 units) is taken as Latin-1 instead of dropped.
json_t* MakeJsonString(const std::string& value) {
  json_t* json = json_stringn(value.data(), value.size());
  if (json)
    return json;
  std::string utf8 = Latin1ToUtf8(value);
  return json_stringn(utf8.data(), utf8.size());
}

bool SetMember(json_t* object,
               const std::string& key,
               const std::string& value) {
  json_t* json_value = MakeJsonString(value);
  if (!json_value)
    return false;
  json_incref(json_value);
  if (json_object_setn_new(object, key.data(), key.size(), json_value) == 0) {
    json_decref(json_value);
    return true;
  }
  std::string utf8_key = Latin1ToUtf8(key);
  return json_object_setn_new(object, utf8_key.data(), utf8_key.size(),
                              json_value) == 0;
}

std::wstring GetTempDirectory() {
  wchar_t buffer[MAX_PATH];
  DWORD length = ::GetTempPathW(MAX_PATH, buffer);
  if (length == 0 || length >= MAX_PATH)
    return std::wstring();
  return std::wstring(buffer, length);
}

}  // namespace

DistribInfoParams::DistribInfoParams() = default;
DistribInfoParams::~DistribInfoParams() = default;

bool DistribInfoParams::Find(const std::string& key, std::string* value) const {
  auto it = params_.find(key);
  if (it == params_.end())
    return false;
  if (value)
    *value = it->second;
  return true;
}

void DistribInfoParams::StoreInRegistry(const std::string& text) {
  lite_util::StoreValueInBrowserKey(kDistribInfoParamsValue,
                                    lite_util::WidenBytes(text));
}

std::wstring DistribInfoParams::GetOwnModulePath() const {
  wchar_t buffer[MAX_PATH];
  DWORD length = ::GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH)
    return std::wstring();
  return std::wstring(buffer, length);
}

bool DistribInfoParams::Load() {
  return Load(CommandLine::ForCurrentProcess(), GetTempDirectory());
}

bool DistribInfoParams::Load(const CommandLine& command_line,
                             const std::wstring& temp_dir) {
  params_.clear();
  distribution_info_file_path_.clear();

  std::string text = command_line.GetSwitchValueASCII(kDistribInfoParamsSwitch);
  if (text.empty()) {
    std::wstring path = GetOwnModulePath();
    if (!path.empty()) {
      text = ExtractTagFromFakeCertificate(path);
      if (text.empty())
        text = ReadSignatureTrailerTag(path);
    }
  }
  if (text.empty())
    return false;

  StoreInRegistry(text);
  params_ = ParseDistribParams(text);
  if (params_.empty())
    return false;
  // Without a temporary directory the file would land in whatever the
  // current directory is, where the setup does not look for it.
  if (temp_dir.empty()) {
    LOG(ERROR) << "No temporary directory for the distribution info file";
    return false;
  }
  std::wstring path = temp_dir + kDistribInfoFileName;
  // The setup is told about the file even when writing it failed.
  CreateJsonFromDistribParams(params_, path);
  distribution_info_file_path_ = path;
  return true;
}

bool DistribInfoParams::GetFlag(const std::string& key, bool* flag) const {
  std::string value;
  if (!Find(key, &value)) {
    if (flag)
      *flag = false;
    return false;
  }
  return ParseTwoStateFlag(value, flag);
}

std::string DistribParamsToJson(const DistribParamsMap& params) {
  ScopedJson object(json_object());
  if (!object)
    return std::string();
  for (const auto& param : params) {
    if (!SetMember(object.get(), param.first, param.second))
      return std::string();
  }
  std::unique_ptr<char, MallocDeleter> dump(
      json_dumps(object.get(), JSON_INDENT(2)));
  if (!dump)
    return std::string();
  return dump.get();
}

bool CreateJsonFromDistribParams(const DistribParamsMap& params,
                                 const std::wstring& path) {
  std::string json = DistribParamsToJson(params);
  if (json.empty()) {
    PLOG(ERROR) << "Can't create json dump";
    return false;
  }
  lite_util::ScopedFileHandle file(
      ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (!file.IsValid() ||
      !::WriteFile(file.Get(), json.data(), static_cast<DWORD>(json.size()),
                   &written, nullptr) ||
      written != json.size()) {
    PLOG(ERROR) << "Write json to file error";
    return false;
  }
  return true;
}

}  // namespace lite_installer
