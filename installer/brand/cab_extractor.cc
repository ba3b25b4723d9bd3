#include "installer/brand/cab_extractor.h"

#include <windows.h>
#include <fcntl.h>
#include <fdi.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {
namespace {

using FdiCreateFunction = decltype(&::FDICreate);
using FdiCopyFunction = decltype(&::FDICopy);
using FdiDestroyFunction = decltype(&::FDIDestroy);

// Where cabinet.dll is looked for: the system directory only, never beside
// the installer.
const wchar_t* const kCabinetDllPaths[] = {
    L"%WINDIR%\\system32\\cabinet.dll",
    L"%SYSTEMROOT%\\system32\\cabinet.dll",
    L"C:\\Windows\\system32\\cabinet.dll",
};

// The largest output reservation made up front from an entry's declared
// size; the buffer still grows past it when the data is larger.
constexpr size_t kMaxReservation = 16 * 1024 * 1024;

struct CabinetApi {
  FdiCreateFunction create = nullptr;
  FdiCopyFunction copy = nullptr;
  FdiDestroyFunction destroy = nullptr;
};

HMODULE LoadCabinetDll() {
  for (const wchar_t* path : kCabinetDllPaths) {
    wchar_t expanded[MAX_PATH];
    DWORD length = ::ExpandEnvironmentStringsW(path, expanded, MAX_PATH);
    if (length < 1 || length > MAX_PATH) continue;
    HMODULE module =
        ::LoadLibraryExW(expanded, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module) return module;
  }
  return nullptr;
}

CabinetApi ResolveCabinetApi() {
  CabinetApi api;
  // Stays loaded for the life of the process: the contexts it hands out
  // are released through its own FDIDestroy.
  HMODULE module = LoadCabinetDll();
  if (!module) {
    PLOG(ERROR) << "Can't load cabinet.dll";
    return api;
  }
  api.create = reinterpret_cast<FdiCreateFunction>(
      reinterpret_cast<void*>(::GetProcAddress(module, "FDICreate")));
  api.destroy = reinterpret_cast<FdiDestroyFunction>(
      reinterpret_cast<void*>(::GetProcAddress(module, "FDIDestroy")));
  api.copy = reinterpret_cast<FdiCopyFunction>(
      reinterpret_cast<void*>(::GetProcAddress(module, "FDICopy")));
  if (!api.create || !api.destroy || !api.copy) {
    LOG(ERROR) << "cabinet.dll lacks FDICreate, FDIDestroy or FDICopy";
    return CabinetApi();
  }
  lite_util::FdiContextTraits::destroy_function = api.destroy;
  return api;
}

// Loaded on first use, once per process.
const CabinetApi* GetCabinetApi() {
  static const CabinetApi api = ResolveCabinetApi();
  return api.create ? &api : nullptr;
}

// What an FDI file handle stands for: the archive being read, or the
// buffer that receives the file being extracted.
struct CabStream {
  enum Kind { kArchive, kOutput };
  explicit CabStream(Kind stream_kind) : kind(stream_kind) {}
  Kind kind;
};

struct ArchiveReader : CabStream {
  ArchiveReader(const uint8_t* archive_data, size_t archive_size)
      : CabStream(kArchive), data(archive_data), size(archive_size) {}
  const uint8_t* data;
  size_t size;
  size_t position = 0;
};

struct OutputBuffer : CabStream {
  OutputBuffer() : CabStream(kOutput) {}
  std::string bytes;
};

// One ExtractFilesFromCab call.
struct Extraction {
  const uint8_t* data = nullptr;
  size_t size = 0;
  // The "file name" FDICopy is given: the decimal address of the bytes.
  std::string cabinet_name;
  std::string wanted_name;
  OutputBuffer output;
  CabFiles* files = nullptr;
};

// FDI's open callback has no user data: it finds the bytes of the
// extraction running on its thread, and refuses every other name.
thread_local Extraction* current_extraction = nullptr;

CabStream* StreamFromHandle(INT_PTR handle) {
  return reinterpret_cast<CabStream*>(handle);
}

ArchiveReader* ReaderFromHandle(INT_PTR handle) {
  CabStream* stream = StreamFromHandle(handle);
  if (!stream || stream->kind != CabStream::kArchive) return nullptr;
  return static_cast<ArchiveReader*>(stream);
}

FNALLOC(AllocateMemory) {
  return ::HeapAlloc(::GetProcessHeap(), 0, cb);
}

FNFREE(FreeMemory) { ::HeapFree(::GetProcessHeap(), 0, pv); }

FNOPEN(OpenArchive) {
  Extraction* extraction = current_extraction;
  if (!extraction || !pszFile || extraction->cabinet_name != pszFile)
    return -1;
  ArchiveReader* reader =
      new (std::nothrow) ArchiveReader(extraction->data, extraction->size);
  if (!reader) return -1;
  return reinterpret_cast<INT_PTR>(reader);
}

FNREAD(ReadArchive) {
  ArchiveReader* reader = ReaderFromHandle(hf);
  if (!reader) return static_cast<UINT>(-1);
  size_t left = reader->size - reader->position;
  size_t count = cb < left ? cb : left;
  std::memcpy(pv, reader->data + reader->position, count);
  reader->position += count;
  return static_cast<UINT>(count);
}

FNWRITE(WriteOutput) {
  CabStream* stream = StreamFromHandle(hf);
  if (!stream || stream->kind != CabStream::kOutput)
    return static_cast<UINT>(-1);
  try {
    static_cast<OutputBuffer*>(stream)->bytes.append(
        static_cast<const char*>(pv), cb);
  } catch (const std::bad_alloc&) {
    return static_cast<UINT>(-1);
  }
  return cb;
}

FNCLOSE(CloseStream) {
  // The output buffer belongs to its extraction; only readers are freed.
  delete ReaderFromHandle(hf);
  return 0;
}

FNSEEK(SeekArchive) {
  ArchiveReader* reader = ReaderFromHandle(hf);
  if (!reader) return -1;
  int64_t base = 0;
  switch (seektype) {
    case SEEK_SET:
      base = 0;
      break;
    case SEEK_CUR:
      base = static_cast<int64_t>(reader->position);
      break;
    case SEEK_END:
      base = static_cast<int64_t>(reader->size);
      break;
    default:
      return -1;
  }
  int64_t position = base + dist;
  if (position < 0 || position > static_cast<int64_t>(reader->size))
    return -1;
  reader->position = static_cast<size_t>(position);
  return static_cast<__LONG32>(position);
}

FNFDINOTIFY(HandleNotification) {
  Extraction* extraction = static_cast<Extraction*>(pfdin->pv);
  switch (fdint) {
    case fdintCABINET_INFO:
    case fdintENUMERATE:
      return 0;
    case fdintCOPY_FILE: {
      if (!extraction->wanted_name.empty() &&
          extraction->wanted_name != pfdin->psz1) {
        return 0;  // skipped
      }
      std::string& bytes = extraction->output.bytes;
      bytes.clear();
      size_t declared = pfdin->cb > 0 ? static_cast<size_t>(pfdin->cb) : 0;
      try {
        bytes.reserve(declared < kMaxReservation ? declared : kMaxReservation);
      } catch (const std::bad_alloc&) {
        return -1;
      }
      return reinterpret_cast<INT_PTR>(&extraction->output);
    }
    case fdintCLOSE_FILE_INFO:
      try {
        (*extraction->files)[pfdin->psz1] =
            std::move(extraction->output.bytes);
      } catch (const std::bad_alloc&) {
        return -1;
      }
      extraction->output.bytes.clear();
      return TRUE;
    default:
      // Archives spanning several cabinets, and anything newer.
      return -1;
  }
}

// Makes |extraction| the one the open callback serves while it lives.
class ScopedCurrentExtraction {
 public:
  explicit ScopedCurrentExtraction(Extraction* extraction)
      : previous_(current_extraction) {
    current_extraction = extraction;
  }
  ScopedCurrentExtraction(const ScopedCurrentExtraction&) = delete;
  ScopedCurrentExtraction& operator=(const ScopedCurrentExtraction&) = delete;
  ~ScopedCurrentExtraction() { current_extraction = previous_; }

 private:
  Extraction* previous_;
};

}  // namespace

bool ExtractFilesFromCab(const void* data, size_t size,
                         const std::string& wanted_name, CabFiles* files) {
  const CabinetApi* api = GetCabinetApi();
  if (!api) return false;

  ERF error = {};
  lite_util::ScopedFdiContext context(
      api->create(AllocateMemory, FreeMemory, OpenArchive, ReadArchive,
                  WriteOutput, CloseStream, SeekArchive, cpuUNKNOWN, &error));
  if (!context.IsValid()) {
    LOG(ERROR) << "FDICreate failed, error " << error.erfOper;
    return false;
  }

  Extraction extraction;
  extraction.data = static_cast<const uint8_t*>(data);
  extraction.size = data ? size : 0;
  extraction.cabinet_name =
      std::to_string(reinterpret_cast<uintptr_t>(extraction.data));
  extraction.wanted_name = wanted_name;
  extraction.files = files;
  ScopedCurrentExtraction current(&extraction);

  std::string cabinet_name = extraction.cabinet_name;
  char empty_path[] = "";
  BOOL copied = api->copy(context.Get(), &cabinet_name[0], empty_path, 0,
                          HandleNotification, nullptr, &extraction);
  if (!copied) LOG(ERROR) << "FDICopy failed, error " << error.erfOper;
  return copied != FALSE;
}

}  // namespace lite_installer
