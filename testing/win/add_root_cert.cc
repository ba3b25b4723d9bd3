// Adds a certificate to the LocalMachine ROOT store of the Wine prefix it
// runs in, so that server certificates issued by the test service's root
// are trusted there. Prints "added" on success.
// usage: add_root_cert.exe CERTIFICATE_FILE   (DER, or PEM)
#include <windows.h>

#include <wincrypt.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "installer/lite_util/scoped_handle.h"

namespace {

struct CertStoreCloser {
  void operator()(void* store) const { ::CertCloseStore(store, 0); }
};
using ScopedCertStore = std::unique_ptr<void, CertStoreCloser>;

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) return 2;
  lite_util::ScopedFileHandle file(
      ::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) {
    std::printf("cannot open the file: %lu\n", ::GetLastError());
    return 1;
  }
  std::string bytes(1 << 16, '\0');
  DWORD read = 0;
  if (!::ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()),
                  &read, nullptr)) {
    return 1;
  }
  bytes.resize(read);

  std::vector<BYTE> der(bytes.begin(), bytes.end());
  if (bytes.find("-----BEGIN") != std::string::npos) {
    DWORD size = 0;
    if (!::CryptStringToBinaryA(bytes.c_str(), 0, CRYPT_STRING_BASE64HEADER,
                                nullptr, &size, nullptr, nullptr)) {
      std::printf("not a certificate: %lu\n", ::GetLastError());
      return 1;
    }
    der.resize(size);
    ::CryptStringToBinaryA(bytes.c_str(), 0, CRYPT_STRING_BASE64HEADER,
                           der.data(), &size, nullptr, nullptr);
    der.resize(size);
  }

  ScopedCertStore store(::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0,
                                       CERT_SYSTEM_STORE_LOCAL_MACHINE,
                                       L"ROOT"));
  if (!store) {
    std::printf("cannot open the ROOT store: %lu\n", ::GetLastError());
    return 1;
  }
  BOOL ok = ::CertAddEncodedCertificateToStore(
      store.get(), X509_ASN_ENCODING, der.data(), static_cast<DWORD>(der.size()),
      CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  if (!ok) {
    std::printf("cannot add the certificate: 0x%08lx\n", ::GetLastError());
    return 1;
  }
  std::printf("added\n");
  std::fflush(stdout);
  return 0;
}
