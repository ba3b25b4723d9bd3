// The two response headers a resumed download depends on, parsed from
// their text: Content-Length and the Content-Range of a 206 answer. Both
// are read as 64-bit numbers (WinINet's numeric query stops at 32 bits).
#ifndef INSTALLER_INSTALL_DOWNLOAD_CONTENT_RANGE_H_
#define INSTALLER_INSTALL_DOWNLOAD_CONTENT_RANGE_H_

#include <cstdint>
#include <string>

namespace lite_installer {

// "bytes <first>-<last>/<complete_length>" with a known complete length.
struct ContentRange {
  uint64_t first = 0;
  uint64_t last = 0;
  uint64_t complete_length = 0;
};

// Decimal digits only (surrounding blanks allowed), no overflow.
bool ParseContentLength(const std::string& text, uint64_t* length);

// False for anything but a satisfied byte range of a known length with
// first <= last < complete_length ("bytes */N" and "bytes 0-9/*" fail).
bool ParseContentRange(const std::string& text, ContentRange* range);

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_DOWNLOAD_CONTENT_RANGE_H_
