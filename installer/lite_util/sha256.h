// SHA-256 through the crypto library's digest interface. Kept apart from
// the CryptoAPI headers, whose macros clash with the library's names.
#ifndef INSTALLER_LITE_UTIL_SHA256_H_
#define INSTALLER_LITE_UTIL_SHA256_H_

#include <cstddef>
#include <string>

namespace lite_util {

// The 32-byte digest of |size| bytes at |data|; false when the digest
// fails.
bool Sha256Digest(const void* data, size_t size, std::string* digest);

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_SHA256_H_
