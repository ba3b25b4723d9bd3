#include "installer/lite_util/sha256.h"

#include <openssl/evp.h>

namespace lite_util {

bool Sha256Digest(const void* data, size_t size, std::string* digest) {
  unsigned char bytes[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (!EVP_Digest(data, size, bytes, &length, EVP_sha256(), nullptr))
    return false;
  digest->assign(reinterpret_cast<const char*>(bytes), length);
  return true;
}

}  // namespace lite_util
