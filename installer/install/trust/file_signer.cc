#include "installer/install/trust/file_signer.h"

#include <windows.h>

#include <wincrypt.h>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

bool CanReadFirstByte(const std::wstring& path) {
  lite_util::ScopedFileHandle file(::CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  BYTE byte = 0;
  DWORD read = 0;
  return file.IsValid() && ::ReadFile(file.Get(), &byte, 1, &read, nullptr) &&
         read == 1;
}

}  // namespace

FileSignerResult VerifyFileSigner(const std::wstring& path) {
  if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
    return kFileSignerFileMissing;
  if (!CanReadFirstByte(path)) return kFileSignerFileUnreadable;

  lite_util::ScopedCertStore store;
  lite_util::ScopedCryptMsg message;
  if (!::CryptQueryObject(CERT_QUERY_OBJECT_FILE, path.c_str(),
                          CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                          CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr,
                          nullptr, store.Receive(), message.Receive(),
                          nullptr)) {
    LOG(ERROR) << "Failed to CryptQueryObject, gle=" << ::GetLastError()
               << " filepath=" << path;
    return kFileSignerQueryFailed;
  }
  HCERTSTORE stores[] = {store.Get()};
  if (!::CryptMsgGetAndVerifySigner(message.Get(), 1, stores,
                                    CMSG_TRUSTED_SIGNER_FLAG, nullptr,
                                    nullptr)) {
    LOG(ERROR) << "Failed to CryptMsgGetAndVerifySigner, gle="
               << ::GetLastError() << " filepath=" << path;
    return kFileSignerNotVerified;
  }
  return kFileSignerVerified;
}

}  // namespace lite_installer
