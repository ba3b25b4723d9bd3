// The multipart/form-data body of a crash report: one field per annotation,
// then the minidump as a file part. The head (fields and the file part's
// headers) and the tail are built here; the dump's bytes go between them
// without being held in memory.
#ifndef INSTALLER_CRASH_MULTIPART_FORM_H_
#define INSTALLER_CRASH_MULTIPART_FORM_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace lite_installer {

// The field name of the dump's file part; an annotation of this name is
// never sent as a field.
extern const char kMinidumpFieldName[];

// Field and file names keep every byte but line feed, carriage return,
// double quote and "%", which become "%0a", "%0d", "%22" and "%25".
std::string EscapeMultipartName(const std::string& name);

// A content type may hold only ASCII letters, digits and "+-./_".
bool IsValidMultipartContentType(const std::string& content_type);

// Fills |bytes| with |count| cryptographically random bytes.
using RandomBytesFunction = std::function<bool(uint8_t* bytes, size_t count)>;

// "---MultipartBoundary-" + 32 characters drawn uniformly from the 62
// letters and digits + "---". Bytes of 248 and above are drawn again, so
// that every character is equally likely. Empty when |random| fails.
std::string MakeMultipartBoundary(const RandomBytesFunction& random);

// The body up to the file part's bytes: a field per annotation in key
// order, then the headers of the file part named upload_file_minidump with
// |file_name|. An annotation named upload_file_minidump is left out and
// its text "reserved key <key>, discarding value <value>" is added to
// |warnings|.
std::string BuildMultipartHead(
    const std::map<std::string, std::string>& annotations,
    const std::string& boundary, const std::string& file_name,
    std::vector<std::string>* warnings);

// What follows the file's bytes: the line end and the closing boundary.
std::string BuildMultipartTail(const std::string& boundary);

// "multipart/form-data; boundary=" + |boundary|.
std::string MultipartContentType(const std::string& boundary);

}  // namespace lite_installer

#endif  // INSTALLER_CRASH_MULTIPART_FORM_H_
