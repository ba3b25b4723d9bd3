#include "installer/install/trust/trust_json.h"

#include <windows.h>

#include "installer/install/trust/signature_verifier.h"
#include "installer/install/trust/trust_keys.h"
#include "installer/lite_util/base64.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

constexpr size_t kKeyIndexSize = 2;

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The whole resource; empty when it is missing. The module is loaded as a
// data file, so the bytes stay valid until it is freed.
std::string ReadResource(HMODULE module, const wchar_t* name,
                         const wchar_t* type) {
  HRSRC resource = ::FindResourceW(module, name, type);
  if (!resource) return std::string();
  HGLOBAL loaded = ::LoadResource(module, resource);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  DWORD size = ::SizeofResource(module, resource);
  if (!bytes || size == 0) return std::string();
  return std::string(static_cast<const char*>(bytes), size);
}

}  // namespace

bool IsAbsoluteFilePath(const std::wstring& path) {
  if (path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') ||
                           (path[0] >= L'a' && path[0] <= L'z')) &&
      path[1] == L':' && IsSeparator(path[2])) {
    return true;
  }
  return path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
}

std::string GetTrustJsonFromModule(const std::wstring& path) {
  if (!IsAbsoluteFilePath(path)) {
    LOG(ERROR) << "Attempting to GetTrustJsonFromModule at an invalid path: "
               << path;
    return std::string();
  }
  lite_util::ScopedModule module(::LoadLibraryExW(
      path.c_str(), nullptr,
      LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE));
  if (!module.IsValid()) {
    LOG(ERROR) << "Failed to load module for GetTrustJsonFromModule: "
               << path;
    return std::string();
  }
  std::string signature_dat =
      ReadResource(module.Get(), L"SIGNATURE.DAT", L"SIGNATURE_DAT");
  if (signature_dat.size() <= kKeyIndexSize) {
    LOG(ERROR) << "Cannot find resource " << "SIGNATURE_DAT";
    return std::string();
  }
  std::string trusted_json =
      ReadResource(module.Get(), L"TRUSTED.JSON", L"TRUSTED_JSON");
  if (trusted_json.empty()) {
    LOG(ERROR) << "Cannot find resource " << "TRUSTED_JSON";
    return std::string();
  }
  return VerifyTrustJson(signature_dat, trusted_json);
}

std::string VerifyTrustJson(const std::string& signature_dat,
                            const std::string& trusted_json) {
  if (signature_dat.size() <= kKeyIndexSize || trusted_json.empty())
    return std::string();
  const size_t index = static_cast<unsigned char>(signature_dat[0]) |
                       static_cast<unsigned char>(signature_dat[1]) << 8;
  const char* key_text = TrustKeyText(index);
  std::string key;
  if (!key_text || !lite_util::Base64Decode(key_text, &key)) {
    LOG_AS(ERROR, "GetTrustJsonFromModule") << "Cannot find key";
    return std::string();
  }
  CryptoSignatureVerifier verifier;
  if (!verifier.Verify(signature_dat.substr(kKeyIndexSize), key,
                       trusted_json)) {
    LOG_AS(ERROR, "GetTrustJsonFromModule") << "Verify error";
    return std::string();
  }
  return trusted_json;
}

}  // namespace lite_installer
