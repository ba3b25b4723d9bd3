#include "installer/crash/annotation_stream.h"

#include <cstring>
#include <vector>

namespace lite_installer {
namespace {

constexpr uint32_t kDumpHeaderSize = 32;
constexpr uint32_t kDirectoryPositionOffset = 12;
constexpr uint32_t kStreamCountOffset = 8;
constexpr uint32_t kDirectoryEntrySize = 12;
constexpr uint32_t kDictionaryPositionOffset = 40;
// Far more than a dump ever has; bounds the directory walk on a bad file.
constexpr uint32_t kMaxStreams = 4096;

void AppendUint32(std::string* out, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint32_t ReadUint32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

void WriteUint32(uint8_t* p, uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

void AppendRecord(std::string* out, const std::string& text) {
  AppendUint32(out, static_cast<uint32_t>(text.size()));
  *out += text;
  out->push_back('\0');
}

}  // namespace

std::string BuildAnnotationStream(
    const GUID& report_id, const GUID& client_id,
    const std::map<std::string, std::string>& annotations) {
  uint32_t count = static_cast<uint32_t>(annotations.size());
  std::string records;
  std::string entries;
  for (const auto& annotation : annotations) {
    AppendUint32(&entries, static_cast<uint32_t>(records.size()));
    AppendRecord(&records, annotation.first);
    AppendUint32(&entries, static_cast<uint32_t>(records.size()));
    AppendRecord(&records, annotation.second);
  }
  std::string stream;
  AppendUint32(&stream, 1);
  stream.append(reinterpret_cast<const char*>(&report_id), sizeof(GUID));
  stream.append(reinterpret_cast<const char*>(&client_id), sizeof(GUID));
  AppendUint32(&stream, 4 + 8 * count + static_cast<uint32_t>(records.size()));
  AppendUint32(&stream, kAnnotationStreamHeaderSize);
  AppendUint32(&stream, 0);
  AppendUint32(&stream, 0);
  AppendUint32(&stream, count);
  stream += entries;
  stream += records;
  return stream;
}

bool FixUpAnnotationStream(DumpFileAccess* file, uint32_t count) {
  uint8_t header[kDumpHeaderSize];
  if (!file->ReadAt(0, header, sizeof(header))) return false;
  uint32_t stream_count = ReadUint32(header + kStreamCountOffset);
  uint32_t directory = ReadUint32(header + kDirectoryPositionOffset);
  if (stream_count > kMaxStreams) return false;

  uint32_t stream_position = 0;
  bool found = false;
  for (uint32_t i = 0; i < stream_count && !found; ++i) {
    uint8_t entry[kDirectoryEntrySize];
    if (!file->ReadAt(directory + i * kDirectoryEntrySize, entry,
                      sizeof(entry)))
      return false;
    if (ReadUint32(entry) == kAnnotationStreamType) {
      stream_position = ReadUint32(entry + 8);
      found = true;
    }
  }
  if (!found) return false;

  uint8_t stream[kAnnotationStreamHeaderSize];
  if (!file->ReadAt(stream_position, stream, sizeof(stream))) return false;
  if (ReadUint32(stream + kDictionaryPositionOffset) !=
      kAnnotationStreamHeaderSize)
    return false;
  uint32_t dictionary = stream_position + kAnnotationStreamHeaderSize;
  WriteUint32(stream + kDictionaryPositionOffset, dictionary);
  if (!file->WriteAt(stream_position, stream, sizeof(stream))) return false;

  uint8_t stored_count[4];
  if (!file->ReadAt(dictionary, stored_count, 4) ||
      ReadUint32(stored_count) != count)
    return false;
  std::vector<uint8_t> entries(8 * static_cast<size_t>(count));
  if (count == 0) return true;
  uint32_t entries_position = dictionary + 4;
  if (!file->ReadAt(entries_position, entries.data(),
                    static_cast<uint32_t>(entries.size())))
    return false;
  uint32_t records = entries_position + 8 * count;
  for (size_t i = 0; i < entries.size(); i += 4)
    WriteUint32(&entries[i], ReadUint32(&entries[i]) + records);
  return file->WriteAt(entries_position, entries.data(),
                       static_cast<uint32_t>(entries.size()));
}

}  // namespace lite_installer
