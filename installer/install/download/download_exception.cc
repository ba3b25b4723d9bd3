#include "installer/install/download/download_exception.h"

#include <windows.h>

#include <delayimp.h>

#include <cstdio>
#include <cstring>

// The guard is a frame-based exception handler, as the system's own
// structured exception handling uses: it runs in the normal order, after
// every handler of the code it calls, so a library that handles the
// delay-load exception itself still does. When the exception reaches the
// guard, the system unwinds the frames in between first (their clean-up
// handlers run: a lock a library took is released) and execution resumes
// in the guard's frame, which returns false.
//
// The frame is a few lines of assembly per architecture:
// - i686: an exception registration record on the thread's chain (fs:[0]),
//   extended by the guard's record pointer. The handler calls RtlUnwind,
//   which runs and unlinks every record above the guard's, then resumes in
//   the guard's frame, which unlinks its own: the chain is as before.
// - x86_64: a function whose unwind information names the handler
//   (.seh_handler). The handler calls RtlUnwindEx with the guard's frame
//   and resume address; the unwinder restores the non-volatile registers
//   from the tables and calls the unwind handlers of the frames it leaves.
//
// Frames of the installer's own code inside a guarded call must own
// nothing that needs a destructor: GCC's C++ clean-ups are not all run by
// the system's unwinding (the 32-bit build's are not SEH-based at all).

namespace lite_installer {

// The data a guard hands to its handler; lives in RunUnderDelayLoadGuard's
// frame. The handler must not allocate: the names go to fixed buffers.
struct GuardRecord {
  uint32_t code;
  char dll_name[64];
  char proc_name[128];
};

}  // namespace lite_installer

using lite_installer::GuardRecord;

extern "C" IMAGE_DOS_HEADER __ImageBase;
// The delay-load helper every delayed import's stub calls (the C runtime's;
// delayimp.h does not declare it).
extern "C" FARPROC WINAPI __delayLoadHelper2(PCImgDelayDescr descriptor,
                                             FARPROC* entry);

extern "C" {
// Calls call(context) inside the guard's frame; 1 when the call returned,
// 0 when the guard abandoned it (|record| then filled).
int lite_guarded_call(void (*call)(void*), void* context, GuardRecord* record)
    asm("lite_guarded_call");
// The handler both frames name.
EXCEPTION_DISPOSITION lite_guard_handler(EXCEPTION_RECORD* record,
                                         void* establisher_frame,
                                         CONTEXT* context,
                                         void* dispatcher_context)
    asm("lite_guard_handler");
// The instruction at which an abandoned call resumes in the guard's frame.
void lite_guard_resume() asm("lite_guard_resume");
#if defined(__i386__)
// Leaves the handler for the guard's frame at |establisher_frame|, which
// RtlUnwind has made the head of the chain again.
[[noreturn]] void lite_guard_continue(void* establisher_frame)
    asm("lite_guard_continue");
#endif
}

#if defined(__i386__)
// Stack of lite_guarded_call, from ebp down: saved ebp, ebx, esi, edi,
// then the registration record {previous, handler, GuardRecord*}: the
// record starts 24 bytes below ebp.
asm(R"(
    .text
    .p2align 4
    .globl lite_guarded_call
lite_guarded_call:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl 16(%ebp)
    pushl $lite_guard_handler
    pushl %fs:0
    movl %esp, %fs:0
    pushl 12(%ebp)
    call *8(%ebp)
    leal -24(%ebp), %esp
    movl $1, %eax
    .globl lite_guard_resume
lite_guard_resume:
    movl (%esp), %ecx
    movl %ecx, %fs:0
    addl $12, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret

    .p2align 4
    .globl lite_guard_continue
lite_guard_continue:
    movl 4(%esp), %esp
    leal 24(%esp), %ebp
    xorl %eax, %eax
    jmp lite_guard_resume
)");
#elif defined(__x86_64__)
// 32 bytes of home space for the callee, then the GuardRecord pointer at
// establisher frame + 32 (the frame is rsp after the prologue).
asm(R"(
    .text
    .p2align 4
    .globl lite_guarded_call
    .def lite_guarded_call; .scl 2; .type 32; .endef
    .seh_proc lite_guarded_call
lite_guarded_call:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq %r8, 32(%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    nop
    movl $1, %eax
    jmp 1f
    .globl lite_guard_resume
lite_guard_resume:
    xorl %eax, %eax
1:
    addq $40, %rsp
    ret
    .seh_handler lite_guard_handler, @except
    .seh_endproc
)");
#else
#error "the delay-load guard has a frame for i686 and x86_64 only"
#endif

namespace lite_installer {
namespace {

void CopyName(char* out, size_t size, const char* name) {
  out[0] = '\0';
  if (name) {
    std::strncpy(out, name, size - 1);
    out[size - 1] = '\0';
  }
}

void FillRecord(const EXCEPTION_RECORD* exception, GuardRecord* record) {
  record->code = exception->ExceptionCode;
  const DelayLoadInfo* info =
      exception->NumberParameters >= 1
          ? reinterpret_cast<const DelayLoadInfo*>(
                exception->ExceptionInformation[0])
          : nullptr;
  if (!info) return;
  CopyName(record->dll_name, sizeof(record->dll_name), info->szDll);
  if (info->dlp.fImportByName) {
    CopyName(record->proc_name, sizeof(record->proc_name),
             info->dlp.szProcName);
  } else {
    std::snprintf(record->proc_name, sizeof(record->proc_name), "#%lu",
                  static_cast<unsigned long>(info->dlp.dwOrdinal));
  }
}

// Unwinding (and exit, target and collided unwinding) passes through.
constexpr DWORD kAnyUnwind = 0x2 | 0x4 | 0x20 | 0x40;

struct GuardData {
  const ImgDelayDescr* const* bind_first;
  void (*call)(void*);
  void* context;
};

// Runs inside the guard: binds the delayed imports the call needs, in the
// installer's own frame, then makes the call. A library that is missing
// then fails here, never inside the foreign code the call enters.
void BindThenCall(void* context) {
  auto* data = static_cast<GuardData*>(context);
  for (const ImgDelayDescr* const* descriptor = data->bind_first;
       descriptor && *descriptor; ++descriptor) {
    BindDelayedImports(*descriptor);
  }
  data->call(data->context);
}

}  // namespace
}  // namespace lite_installer

extern "C" EXCEPTION_DISPOSITION lite_guard_handler(
    EXCEPTION_RECORD* exception, void* establisher_frame, CONTEXT* context,
    void* dispatcher_context) {
  using namespace lite_installer;
  if ((exception->ExceptionFlags & kAnyUnwind) ||
      (exception->ExceptionCode != kDelayLoadModuleNotFound &&
       exception->ExceptionCode != kDelayLoadProcedureNotFound)) {
    return ExceptionContinueSearch;
  }
#if defined(__i386__)
  struct Registration {
    void* previous;
    void* handler;
    GuardRecord* record;
  };
  FillRecord(exception, static_cast<Registration*>(establisher_frame)->record);
  ::RtlUnwind(establisher_frame, reinterpret_cast<void*>(&lite_guard_resume),
              exception, nullptr);
  lite_guard_continue(establisher_frame);
#else
  GuardRecord* record = *reinterpret_cast<GuardRecord**>(
      static_cast<char*>(establisher_frame) + 32);
  FillRecord(exception, record);
  auto* dispatcher = static_cast<DISPATCHER_CONTEXT*>(dispatcher_context);
  ::RtlUnwindEx(establisher_frame, reinterpret_cast<void*>(&lite_guard_resume),
                exception, nullptr, dispatcher->ContextRecord,
                dispatcher->HistoryTable);
  return ExceptionContinueSearch;  // RtlUnwindEx does not come back
#endif
}

namespace lite_installer {

void BindDelayedImports(const ImgDelayDescr* descriptor) {
  char* base = reinterpret_cast<char*>(&__ImageBase);
  // The import address table ends with a null entry; an entry holds the
  // stub's address until it is bound, the function's afterwards.
  for (auto* entry = reinterpret_cast<FARPROC*>(base + descriptor->rvaIAT);
       *entry; ++entry) {
    __delayLoadHelper2(descriptor, entry);
  }
}

bool RunUnderDelayLoadGuard(void (*call)(void* context), void* context,
                            DownloadException* exception,
                            const ImgDelayDescr* const* bind_first) {
  *exception = DownloadException();
  GuardRecord record = {};
  GuardData data = {bind_first, call, context};
  if (lite_guarded_call(&BindThenCall, &data, &record)) return true;
  exception->code = record.code;
  exception->dll_name = record.dll_name;
  exception->proc_name = record.proc_name;
  return false;
}

}  // namespace lite_installer
