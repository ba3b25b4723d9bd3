// Checks the Authenticode signature of files with WinVerifyTrust, for the
// tests of stamped installers. For each file prints
//   <path> result=0x%08X chain_status=0x%08X
// where result is WinVerifyTrust's answer and chain_status the signer's
// chain error bits (0 when the chain ends in a trusted root). With
// "--add-root CERT" the certificate (PEM or DER) is first added to the
// machine's ROOT store, so that the test root makes a clean chain.
// Exit code: 0 when every file verified, 1 otherwise, 2 on a usage error.
// usage: verify_trust.exe [--add-root CERT] FILE...
#include <windows.h>

// The trust and crypto headers build on the types of windows.h.
#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <cstdio>
#include <string>
#include <vector>

#include "installer/lite_util/scoped_handle.h"

namespace {

struct CertStoreTraits {
  using Handle = HCERTSTORE;
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) { ::CertCloseStore(h, 0); }
};
using ScopedCertStore = lite_util::GenericScopedHandle<CertStoreTraits>;

// Owns the state WinVerifyTrust keeps between its verify and close calls.
class TrustState {
 public:
  TrustState(WINTRUST_DATA* data, GUID action) : data_(data), action_(action) {}
  TrustState(const TrustState&) = delete;
  TrustState& operator=(const TrustState&) = delete;
  ~TrustState() {
    data_->dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action_, data_);
  }

 private:
  WINTRUST_DATA* data_;
  GUID action_;
};

bool ReadFileBytes(const wchar_t* path, std::vector<BYTE>* bytes) {
  lite_util::ScopedFileHandle file(::CreateFileW(
      path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size;
  if (!file.IsValid() || !::GetFileSizeEx(file.Get(), &size) ||
      size.QuadPart > (64 << 20)) {
    return false;
  }
  bytes->resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  return ::ReadFile(file.Get(), bytes->data(),
                    static_cast<DWORD>(bytes->size()), &read, nullptr) &&
         read == bytes->size();
}

bool AddRoot(const wchar_t* path) {
  std::vector<BYTE> bytes;
  if (!ReadFileBytes(path, &bytes))
    return false;
  std::vector<BYTE> der(bytes.size());
  DWORD der_size = static_cast<DWORD>(der.size());
  if (::CryptStringToBinaryA(reinterpret_cast<const char*>(bytes.data()),
                             static_cast<DWORD>(bytes.size()),
                             CRYPT_STRING_BASE64HEADER, der.data(), &der_size,
                             nullptr, nullptr)) {
    der.resize(der_size);
  } else {
    der = bytes;
  }
  ScopedCertStore store(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                        CERT_SYSTEM_STORE_LOCAL_MACHINE,
                                        L"ROOT"));
  return store.IsValid() && ::CertAddEncodedCertificateToStore(
                                store.Get(), X509_ASN_ENCODING, der.data(),
                                static_cast<DWORD>(der.size()),
                                CERT_STORE_ADD_USE_EXISTING, nullptr);
}

bool Verify(const wchar_t* path) {
  GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
  WINTRUST_FILE_INFO file_info = {};
  file_info.cbStruct = sizeof(file_info);
  file_info.pcwszFilePath = path;
  WINTRUST_DATA data = {};
  data.cbStruct = sizeof(data);
  data.dwUIChoice = WTD_UI_NONE;
  data.fdwRevocationChecks = WTD_REVOKE_NONE;
  data.dwUnionChoice = WTD_CHOICE_FILE;
  data.pFile = &file_info;
  data.dwStateAction = WTD_STATEACTION_VERIFY;
  LONG result =
      ::WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
  TrustState state(&data, action);

  DWORD chain_status = 0xFFFFFFFF;
  CRYPT_PROVIDER_DATA* provider =
      ::WTHelperProvDataFromStateData(data.hWVTStateData);
  CRYPT_PROVIDER_SGNR* signer =
      provider ? ::WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0)
               : nullptr;
  if (signer && signer->pChainContext)
    chain_status = signer->pChainContext->TrustStatus.dwErrorStatus;
  std::wprintf(L"%ls result=0x%08lX chain_status=0x%08lX\n", path,
               static_cast<unsigned long>(result),
               static_cast<unsigned long>(chain_status));
  std::fflush(stdout);
  return result == 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  int first = 1;
  if (argc >= 3 && std::wstring(argv[1]) == L"--add-root") {
    if (!AddRoot(argv[2])) {
      std::wprintf(L"add_root_error=%lu\n", ::GetLastError());
      return 2;
    }
    first = 3;
  }
  if (first >= argc) {
    std::wprintf(L"usage: verify_trust.exe [--add-root CERT] FILE...\n");
    return 2;
  }
  bool all = true;
  for (int i = first; i < argc; ++i)
    all = Verify(argv[i]) && all;
  return all ? 0 : 1;
}
