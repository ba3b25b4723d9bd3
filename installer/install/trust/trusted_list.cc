#include "installer/install/trust/trusted_list.h"

#include <jansson.h>

#include <memory>

#include "installer/lite_util/base64.h"

namespace lite_installer {
namespace {

constexpr size_t kPublicKeyHashHexDigits = 64;

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct JsonDeleter {
  void operator()(json_t* json) const { json_decref(json); }
};

void AddEntry(const json_t* entry, TrustedList* list) {
  if (!json_is_object(entry)) return;
  const json_t* id = json_object_get(entry, "id");
  if (!json_is_string(id)) return;
  std::string id_bytes;
  if (!lite_util::Base64Decode(
          std::string(json_string_value(id), json_string_length(id)),
          &id_bytes)) {
    return;
  }
  std::string key_hash;
  const json_t* pub_key = json_object_get(entry, "pub_key");
  if (pub_key &&
      !(json_is_string(pub_key) &&
        DecodePublicKeyHash(std::string(json_string_value(pub_key),
                                        json_string_length(pub_key)),
                            &key_hash))) {
    key_hash = kUnreadableKeyPin;
  }
  // emplace keeps the first entry of an id.
  list->emplace(std::move(id_bytes), std::move(key_hash));
}

}  // namespace

const char kUnreadableKeyPin[] = "unreadable pub_key";

bool DecodePublicKeyHash(const std::string& hex, std::string* bytes) {
  if (hex.size() != kPublicKeyHashHexDigits) return false;
  std::string out;
  out.reserve(hex.size() / 2);
  for (size_t i = 0; i < hex.size(); i += 2) {
    int high = HexDigitValue(hex[i]);
    int low = HexDigitValue(hex[i + 1]);
    if (high < 0 || low < 0) return false;
    out.push_back(static_cast<char>(high * 16 + low));
  }
  bytes->swap(out);
  return true;
}

TrustedList ParseTrustedList(const std::string& json_text) {
  TrustedList list;
  json_error_t error;
  std::unique_ptr<json_t, JsonDeleter> root(
      json_loadb(json_text.data(), json_text.size(), 0, &error));
  if (!json_is_object(root.get())) return list;
  const json_t* info = json_object_get(root.get(), "trusted_info");
  if (!json_is_object(info)) return list;
  const json_t* certificates = json_object_get(info, "certificates");
  if (!json_is_array(certificates)) return list;
  for (size_t i = 0; i < json_array_size(certificates); ++i)
    AddEntry(json_array_get(certificates, i), &list);
  return list;
}

}  // namespace lite_installer
