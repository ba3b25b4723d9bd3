#include "installer/install/download_exception.h"

#include <windows.h>

#include <delayimp.h>

#include <cstdio>
#include <cstring>

namespace lite_installer {
namespace {

// One active guard of a thread, on that thread's stack. The exception
// handler copies the names into fixed buffers: it must not allocate.
struct GuardFrame {
  void* jump_buffer[5];
  GuardFrame* previous;
  uint32_t code;
  char dll_name[64];
  char proc_name[128];
};

DWORD g_tls_index = TLS_OUT_OF_INDEXES;

void CopyName(char* out, size_t size, const char* name) {
  out[0] = '\0';
  if (name) {
    std::strncpy(out, name, size - 1);
    out[size - 1] = '\0';
  }
}

// A vectored handler sees the exception before any frame-based handler
// inside the library can, which is why it takes only the two delay-load
// codes and only on a thread that asked for it.
LONG CALLBACK DelayLoadExceptionHandler(EXCEPTION_POINTERS* pointers) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  if (record->ExceptionCode != kDelayLoadModuleNotFound &&
      record->ExceptionCode != kDelayLoadProcedureNotFound) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  auto* frame = static_cast<GuardFrame*>(::TlsGetValue(g_tls_index));
  if (!frame) return EXCEPTION_CONTINUE_SEARCH;
  frame->code = record->ExceptionCode;
  const DelayLoadInfo* info =
      record->NumberParameters >= 1
          ? reinterpret_cast<const DelayLoadInfo*>(
                record->ExceptionInformation[0])
          : nullptr;
  if (info) {
    CopyName(frame->dll_name, sizeof(frame->dll_name), info->szDll);
    if (info->dlp.fImportByName) {
      CopyName(frame->proc_name, sizeof(frame->proc_name),
               info->dlp.szProcName);
    } else {
      std::snprintf(frame->proc_name, sizeof(frame->proc_name), "#%lu",
                    static_cast<unsigned long>(info->dlp.dwOrdinal));
    }
  }
  ::TlsSetValue(g_tls_index, frame->previous);
  __builtin_longjmp(frame->jump_buffer, 1);
}

bool InstallHandler() {
  static const bool installed = [] {
    g_tls_index = ::TlsAlloc();
    if (g_tls_index == TLS_OUT_OF_INDEXES) return false;
    return ::AddVectoredExceptionHandler(1, DelayLoadExceptionHandler) !=
           nullptr;
  }();
  return installed;
}

}  // namespace

bool RunUnderDelayLoadGuard(void (*call)(void* context), void* context,
                            DownloadException* exception) {
  *exception = DownloadException();
  if (!InstallHandler()) {
    call(context);
    return true;
  }
  GuardFrame frame = {};
  frame.previous = static_cast<GuardFrame*>(::TlsGetValue(g_tls_index));
  ::TlsSetValue(g_tls_index, &frame);
  if (__builtin_setjmp(frame.jump_buffer) == 0) {
    call(context);
    ::TlsSetValue(g_tls_index, frame.previous);
    return true;
  }
  // Back from the handler, which has already unlinked the frame and
  // filled it behind the compiler's back.
  asm volatile("" : : : "memory");
  exception->code = frame.code;
  exception->dll_name = frame.dll_name;
  exception->proc_name = frame.proc_name;
  return false;
}

}  // namespace lite_installer
