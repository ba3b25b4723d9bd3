#include "installer/install/variations_seed.h"

#include <jansson.h>

#include <cstdio>
#include <cstdlib>

#include "installer/lite_util/base64.h"
#include "installer/lite_util/logging/log.h"

namespace lite_installer {
namespace {

// Owns one jansson reference.
class JsonRef {
 public:
  explicit JsonRef(json_t* value) : value_(value) {}
  JsonRef(const JsonRef&) = delete;
  JsonRef& operator=(const JsonRef&) = delete;
  ~JsonRef() { json_decref(value_); }
  json_t* get() const { return value_; }
  json_t* release() {
    json_t* value = value_;
    value_ = nullptr;
    return value;
  }

 private:
  json_t* value_;
};

// Closes a C stream, reporting a failing close.
class ScopedStdioFile {
 public:
  explicit ScopedStdioFile(FILE* file) : file_(file) {}
  ScopedStdioFile(const ScopedStdioFile&) = delete;
  ScopedStdioFile& operator=(const ScopedStdioFile&) = delete;
  ~ScopedStdioFile() { Close(); }
  FILE* get() const { return file_; }
  bool Close() {
    if (!file_) return true;
    int result = fclose(file_);
    file_ = nullptr;
    return result == 0;
  }

 private:
  FILE* file_;
};

}  // namespace

json_t* BuildVariationsJson(const VariationsSeed& seed) {
  JsonRef object(json_object());
  if (!object.get()) return nullptr;
  const std::string encoded = lite_util::Base64Encode(seed.data);
  const struct {
    const char* key;
    const std::string* value;
  } members[] = {
      {"variations_seed_base64", &encoded},
      {"variations_seed_signature", &seed.signature},
      {"variations_last_modified_time", &seed.last_modified},
      {"variations_country", &seed.country},
  };
  for (const auto& member : members) {
    // json_stringn refuses text that is not UTF-8; the set takes the new
    // reference even when it fails.
    json_t* text = json_stringn(member.value->data(), member.value->size());
    if (!text || json_object_set_new(object.get(), member.key, text) != 0) {
      LOG(ERROR) << "Failed to serialize variations value " << member.key
                 << ": " << *member.value;
      return nullptr;
    }
  }
  return object.release();
}

bool SaveVariations(const std::wstring& path, const VariationsSeed& seed) {
  JsonRef object(BuildVariationsJson(seed));
  if (!object.get()) return false;
  ScopedStdioFile file(_wfopen(path.c_str(), L"w+"));
  if (!file.get()) {
    LOG(ERROR) << "Failed to open variations file " << path;
    return false;
  }
  int result = json_dumpf(object.get(), file.get(), 0);
  if (result != 0) {
    LOG(ERROR) << "Failed to save downloaded variations update to " << path
               << " error=" << result;
  }
  // The stream buffers the text: a failing close may have lost its end, so
  // it fails the save as well.
  bool closed = file.Close();
  if (!closed) LOG(ERROR) << "Failed to close FILE";
  if (result != 0 || !closed) {
    // A cut JSON text would only mislead the browser; no file says "no
    // seed" plainly.
    _wremove(path.c_str());
    return false;
  }
  return true;
}

bool SaveVariationsToFile(HANDLE file, const VariationsSeed& seed) {
  JsonRef object(BuildVariationsJson(seed));
  if (!object.get()) return false;
  char* text = json_dumps(object.get(), 0);
  if (!text) {
    LOG(ERROR) << "Failed to serialize variations";
    return false;
  }
  const std::string bytes(text);
  free(text);
  LARGE_INTEGER start = {};
  DWORD written = 0;
  if (!::SetFilePointerEx(file, start, nullptr, FILE_BEGIN) ||
      !::SetEndOfFile(file) ||
      !::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()),
                   &written, nullptr) ||
      written != bytes.size()) {
    PLOG(ERROR) << "Failed to write the variations file";
    // A cut JSON text would only mislead the browser.
    ::SetFilePointerEx(file, start, nullptr, FILE_BEGIN);
    ::SetEndOfFile(file);
    return false;
  }
  return true;
}

}  // namespace lite_installer
