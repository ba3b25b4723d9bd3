#include "installer/install/trust/module_verifier.h"

#include <windows.h>

// The trust headers build on the types of windows.h.
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "installer/install/download/download_exception.h"
#include "installer/install/trust/cert_params.h"
#include "installer/install/trust/file_signer.h"
#include "installer/install/trust/signer_decision.h"
#include "installer/install/trust/trust_json.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/test_seams.h"

LITE_DELAY_IMPORTS(kWintrustImports, wintrust);
LITE_DELAY_IMPORTS(kCrypt32Imports, crypt32);

namespace lite_installer {
namespace {

// WinTrust's signature selection (Windows 8 and later), which mingw-w64's
// wintrust.h does not declare. Older systems ignore it and verify the
// primary signature.
struct WintrustSignatureSettings {
  DWORD cbStruct;
  DWORD dwIndex;
  DWORD dwFlags;
  DWORD cSecondarySigs;
  DWORD dwVerifiedSigIndex;
  void* pCryptoPolicy;
};
constexpr DWORD kVerifySpecificSignature = 0x1;      // WSS_VERIFY_SPECIFIC
constexpr DWORD kGetSecondarySignatureCount = 0x2;   // WSS_GET_SECONDARY_SIG_COUNT

// WINTRUST_DATA with its last member, pSignatureSettings.
struct WintrustDataWithSettings {
  WINTRUST_DATA data;
  WintrustSignatureSettings* signature_settings;
};

// Test builds: the seam value VERIFY_TRUST_STATUS (hexadecimal) replaces
// WinVerifyTrust's full answer, as for a revoked or distrusted signer that
// Wine cannot produce; the hash-only answer stays the system's.
void ApplyStatusSeam(LONG* status) {
  std::string text;
  if (!lite_util::TestSeamValue("VERIFY_TRUST_STATUS", &text) || text.empty())
    return;
  *status = static_cast<LONG>(std::strtoul(text.c_str(), nullptr, 16));
}

// One WinVerifyTrust request on a file, verifying one signature at a time;
// the state of the last verification stays open (for ExtractCertParams)
// until the next one, Close or destruction.
class TrustRequest {
 public:
  TrustRequest(const std::wstring& path, bool no_network) {
    file_.cbStruct = sizeof(file_);
    file_.pcwszFilePath = path.c_str();
    settings_.cbStruct = sizeof(settings_);
    settings_.dwFlags = kVerifySpecificSignature | kGetSecondarySignatureCount;
    WINTRUST_DATA& data = request_.data;
    request_.signature_settings = &settings_;
    data.cbStruct = sizeof(request_);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_WHOLECHAIN;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file_;
    data.dwProvFlags = WTD_REVOCATION_CHECK_CHAIN;
    if (no_network) {
      data.fdwRevocationChecks = WTD_REVOKE_NONE;
      data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
    }
    data.dwUIContext = WTD_UICONTEXT_INSTALL;
  }
  TrustRequest(const TrustRequest&) = delete;
  TrustRequest& operator=(const TrustRequest&) = delete;
  ~TrustRequest() { Close(); }

  // WinVerifyTrust's answer for signature |index|, or -1 (with the code in
  // |exception_code|) when the call raised a delay-load exception.
  LONG Verify(DWORD index, uint32_t* exception_code) {
    Close();
    settings_.dwIndex = index;
    request_.data.dwStateAction = WTD_STATEACTION_VERIFY;
    call_result_ = -1;
    DownloadException exception;
    static const ImgDelayDescr* const kBindFirst[] = {
        &kWintrustImports, &kCrypt32Imports, nullptr};
    if (!RunUnderDelayLoadGuard(&CallWinVerifyTrust, this, &exception,
                                kBindFirst)) {
      *exception_code = exception.code;
      return -1;
    }
    if (!(request_.data.dwProvFlags & WTD_HASH_ONLY_FLAG))
      ApplyStatusSeam(&call_result_);
    return call_result_;
  }

  void Close() {
    if (!request_.data.hWVTStateData) return;
    request_.data.dwStateAction = WTD_STATEACTION_CLOSE;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action,
                     &request_.data);
    request_.data.hWVTStateData = nullptr;
  }

  void AddHashOnlyFlag() { request_.data.dwProvFlags |= WTD_HASH_ONLY_FLAG; }
  HANDLE state() const { return request_.data.hWVTStateData; }
  DWORD secondary_signature_count() const { return settings_.cSecondarySigs; }

 private:
  static void CallWinVerifyTrust(void* context) {
    auto* self = static_cast<TrustRequest*>(context);
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    self->call_result_ =
        ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action,
                         &self->request_.data);
  }

  WINTRUST_FILE_INFO file_ = {};
  WintrustSignatureSettings settings_ = {};
  WintrustDataWithSettings request_ = {};
  LONG call_result_ = -1;
};

}  // namespace

TrustVerifier::TrustVerifier(const std::string& trust_json,
                             const ExtendedCheckConfig& config)
    : trusted_list_(ParseTrustedList(trust_json)), config_(config) {}

bool TrustVerifier::VerifyModule(const std::wstring& path, bool no_network) {
  LOG(INFO) << "Verifying " << path;
  return VerifyModuleImpl(path, no_network);
}

bool TrustVerifier::VerifyModuleImpl(const std::wstring& path,
                                     bool no_network) {
  if (trusted_list_.empty()) return false;
  TrustRequest request(path, no_network);
  SignerDecision decision(&trusted_list_, path);
  const bool extended_check = IsExtendedCheckEnabled(config_);
  for (DWORD index = 0; index <= request.secondary_signature_count();
       ++index) {
    SignatureFacts facts;
    uint32_t exception_code = 0;
    facts.status = request.Verify(index, &exception_code);
    if (facts.status == -1) {
      LOG(ERROR) << "An attempt to verify " << path
                 << " generated an exception " << exception_code
                 << ", is_prevents_net_usage = " << (no_network ? 1 : 0);
      continue;
    }
    if (facts.status != 0) {
      if (!extended_check || !HashOnlyRetryAllowed(facts.status)) {
        decision.AddSignature(facts);
        continue;
      }
      LOG(WARNING) << "Start additional sha256 verification. " << path
                   << " Error code: " << facts.status;
      request.AddHashOnlyFlag();
      facts.status = request.Verify(index, &exception_code);
      LOG(INFO) << "Extended verification "
                << (facts.status == 0 ? "success. " : "failed. ") << path
                << " Error code: " << facts.status;
      if (facts.status != 0) {
        decision.AddSignature(facts);
        continue;
      }
    }
    if (extended_check && config_.verify_signer) {
      LOG(INFO) << "Trying to verify the signer of file " << path;
      FileSignerResult signer = VerifyFileSigner(path);
      if (signer != kFileSignerVerified) {
        LOG(ERROR) << "Failed to verify signer, error=" << signer;
        continue;
      }
      LOG(INFO) << "Signer verified";
    }
    facts.has_cert_params =
        ExtractCertParams(request.state(), path, &facts.cert);
    if (decision.AddSignature(facts)) return true;
  }
  return decision.Finish();
}

bool VerifyModule(const std::wstring& path, bool no_network) {
  TrustVerifier verifier(GetTrustJsonFromModule(path));
  return verifier.VerifyModule(path, no_network);
}

}  // namespace lite_installer
