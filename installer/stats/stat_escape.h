// The escaping of statistics values.
#ifndef INSTALLER_STATS_STAT_ESCAPE_H_
#define INSTALLER_STATS_STAT_ESCAPE_H_

#include <string>

namespace lite_installer {

// Percent-escapes every byte except the ASCII letters, the digits and
// ! ' ( ) . _ ~ as "%" and two upper-case hexadecimal digits.
std::string PercentEscapeBytes(const std::string& bytes);

// The url field of a download attempt: the address in UTF-8, escaped twice
// with PercentEscapeBytes (a "%" of the first pass becomes "%25").
std::wstring EscapeUrlTwice(const std::wstring& url);

// One name or value as a path segment of a statistics request: characters
// outside ASCII become their UTF-8 bytes percent-escaped and "%" becomes
// "%25", then the system's segment escape (UrlEscapeW) escapes what would
// end or split the segment.
// The result is ASCII, so that narrowing it to bytes loses nothing. Empty
// for an empty text or when the escape fails.
std::wstring EscapeStatSegment(const std::wstring& text);

}  // namespace lite_installer

#endif  // INSTALLER_STATS_STAT_ESCAPE_H_
