// The variations (experiment) seed file handed to the browser setup: the
// seed body and the headers of the answer that carried it, as one JSON
// object. The builder touches no file or network, so its bytes can be
// checked directly.
#ifndef INSTALLER_INSTALL_VARIATIONS_SEED_H_
#define INSTALLER_INSTALL_VARIATIONS_SEED_H_

#include <windows.h>

#include <string>

struct json_t;

namespace lite_installer {

struct VariationsSeed {
  // The response body, stored Base64-encoded.
  std::string data;
  // The response headers X-Seed-Signature, Last-Modified and X-Country.
  std::string signature;
  std::string last_modified;
  std::string country;
};

// A new JSON object with the members variations_seed_base64,
// variations_seed_signature, variations_last_modified_time and
// variations_country, in this order; null (and an error logged) when a
// member cannot be added, such as a header that is not UTF-8. The caller
// releases the object with json_decref.
json_t* BuildVariationsJson(const VariationsSeed& seed);

// Writes the object of BuildVariationsJson to |path| (created or
// truncated) with the library's default formatting.
bool SaveVariations(const std::wstring& path, const VariationsSeed& seed);
// The same text written into |file| (open for writing), replacing what it
// held; on failure the file is left empty.
bool SaveVariationsToFile(HANDLE file, const VariationsSeed& seed);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_VARIATIONS_SEED_H_
