// The annotation stream a crash minidump carries as user stream 0x43500001
// (all integers little-endian 32-bit):
//   0  version 1              4  report id (16 bytes)   20  client id
//   36 dictionary size        40 dictionary position    44, 48  zero
//   52 count, then count x (key position, value position), then per
//      annotation a key record and a value record (32-bit length, the
//      bytes, one NUL).
// Positions are built relative to the stream (the dictionary at 52, the
// entries relative to the first record); once the dump is written they are
// fixed up to absolute file offsets, which is what readers of the dump use.
#ifndef INSTALLER_CRASH_ANNOTATION_STREAM_H_
#define INSTALLER_CRASH_ANNOTATION_STREAM_H_

#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

namespace lite_installer {

constexpr uint32_t kAnnotationStreamType = 0x43500001;
// The fixed part before the dictionary.
constexpr uint32_t kAnnotationStreamHeaderSize = 52;

std::string BuildAnnotationStream(
    const GUID& report_id, const GUID& client_id,
    const std::map<std::string, std::string>& annotations);

// Reads and writes bytes of a written dump at absolute offsets; false on
// a short transfer.
class DumpFileAccess {
 public:
  virtual ~DumpFileAccess() = default;
  virtual bool ReadAt(uint32_t offset, void* buffer, uint32_t size) = 0;
  virtual bool WriteAt(uint32_t offset, const void* buffer,
                       uint32_t size) = 0;
};

// Turns the stream's relative positions into absolute file offsets: finds
// the stream through the dump's header and directory, checks that the
// dictionary is still at 52 and holds |count| entries, and rewrites the
// dictionary position and every entry. False when any read, write or check
// fails.
bool FixUpAnnotationStream(DumpFileAccess* file, uint32_t count);

}  // namespace lite_installer

#endif  // INSTALLER_CRASH_ANNOTATION_STREAM_H_
