#include "installer/crash/multipart_form.h"

#include <cstdio>

namespace lite_installer {
namespace {

constexpr char kBoundaryPrefix[] = "---MultipartBoundary-";
constexpr char kBoundarySuffix[] = "---";
constexpr char kBoundaryAlphabet[] =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
constexpr size_t kAlphabetSize = sizeof(kBoundaryAlphabet) - 1;
constexpr size_t kBoundaryRandomLength = 32;
// The largest multiple of the alphabet's size that fits in a byte: bytes
// below it map onto the alphabet evenly.
constexpr unsigned kUnbiasedLimit = 256 / kAlphabetSize * kAlphabetSize;
constexpr char kFileContentType[] = "application/octet-stream";

std::string Quoted(const std::string& text) {
  return "\"" + EscapeMultipartName(text) + "\"";
}

}  // namespace

const char kMinidumpFieldName[] = "upload_file_minidump";

std::string EscapeMultipartName(const std::string& name) {
  std::string escaped;
  escaped.reserve(name.size());
  for (char c : name) {
    if (c == '\n' || c == '\r' || c == '"' || c == '%') {
      char code[4];
      std::snprintf(code, sizeof(code), "%%%02x",
                    static_cast<unsigned char>(c));
      escaped += code;
    } else {
      escaped += c;
    }
  }
  return escaped;
}

bool IsValidMultipartContentType(const std::string& content_type) {
  if (content_type.empty()) return false;
  for (char c : content_type) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
              (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.' ||
              c == '/' || c == '_';
    if (!ok) return false;
  }
  return true;
}

std::string MakeMultipartBoundary(const RandomBytesFunction& random) {
  std::string boundary = kBoundaryPrefix;
  uint8_t bytes[kBoundaryRandomLength];
  size_t drawn = 0;
  while (drawn < kBoundaryRandomLength) {
    if (!random(bytes, sizeof(bytes))) return std::string();
    for (uint8_t b : bytes) {
      if (b >= kUnbiasedLimit) continue;
      boundary += kBoundaryAlphabet[b % kAlphabetSize];
      if (++drawn == kBoundaryRandomLength) break;
    }
  }
  return boundary + kBoundarySuffix;
}

std::string BuildMultipartHead(
    const std::map<std::string, std::string>& annotations,
    const std::string& boundary, const std::string& file_name,
    std::vector<std::string>* warnings) {
  std::string head;
  for (const auto& annotation : annotations) {
    if (annotation.first == kMinidumpFieldName) {
      warnings->push_back("reserved key " + annotation.first +
                          ", discarding value " + annotation.second);
      continue;
    }
    head += "--" + boundary + "\r\n";
    head += "Content-Disposition: form-data; name=" + Quoted(annotation.first) +
            "\r\n\r\n";
    head += annotation.second + "\r\n";
  }
  head += "--" + boundary + "\r\n";
  head += std::string("Content-Disposition: form-data; name=") +
          Quoted(kMinidumpFieldName) + "; filename=" + Quoted(file_name) +
          "\r\n";
  if (IsValidMultipartContentType(kFileContentType))
    head += std::string("Content-Type: ") + kFileContentType + "\r\n";
  head += "\r\n";
  return head;
}

std::string BuildMultipartTail(const std::string& boundary) {
  return "\r\n--" + boundary + "--\r\n";
}

std::string MultipartContentType(const std::string& boundary) {
  return "multipart/form-data; boundary=" + boundary;
}

}  // namespace lite_installer
