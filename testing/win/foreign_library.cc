// A library with structured exception handling of its own, for the tests
// of the installer's delay-load guard. ForeignWork takes a lock, then
// calls, inside a frame with the library's handler, a function that raises
// the delay-load exception 0xC06D007E (as a delay-load helper inside the
// library would). The handler records what it sees in ForeignEvents:
//   'H'  it saw the exception during the search; with |handle| set it takes
//        it (continues execution), otherwise it passes it on;
//   'C'  its frame is unwound: the clean-up releases the lock;
//   'R'  the raising call came back (the exception was handled);
//   'E'  ForeignWork ended normally (and released the lock itself).
#include <windows.h>

#include <delayimp.h>

namespace {

SRWLOCK g_lock = SRWLOCK_INIT;
bool g_handle = false;
char g_events[32];
int g_event_count = 0;

void Record(char event) {
  if (g_event_count < static_cast<int>(sizeof(g_events)) - 1)
    g_events[g_event_count++] = event;
  g_events[g_event_count] = '\0';
}

}  // namespace

extern "C" {
int foreign_frame(int (*body)(void*), void* context) asm("foreign_frame");
EXCEPTION_DISPOSITION foreign_handler(EXCEPTION_RECORD* record, void* frame,
                                      CONTEXT* context, void* dispatcher)
    asm("foreign_handler");
}

// foreign_frame(body, context): body(context) inside a frame whose handler
// is foreign_handler, for the search and for the unwinding.
#if defined(__i386__)
asm(R"(
    .text
    .globl foreign_frame
foreign_frame:
    pushl %ebp
    movl %esp, %ebp
    pushl $foreign_handler
    pushl %fs:0
    movl %esp, %fs:0
    pushl 12(%ebp)
    call *8(%ebp)
    movl -8(%ebp), %ecx
    movl %ecx, %fs:0
    movl %ebp, %esp
    popl %ebp
    ret
)");
#elif defined(__x86_64__)
asm(R"(
    .text
    .globl foreign_frame
    .def foreign_frame; .scl 2; .type 32; .endef
    .seh_proc foreign_frame
foreign_frame:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    nop
    addq $40, %rsp
    ret
    .seh_handler foreign_handler, @except, @unwind
    .seh_endproc
)");
#endif

extern "C" EXCEPTION_DISPOSITION foreign_handler(EXCEPTION_RECORD* record,
                                                 void*, CONTEXT*, void*) {
  constexpr DWORD kAnyUnwind = 0x2 | 0x4 | 0x20 | 0x40;
  if (record->ExceptionFlags & kAnyUnwind) {
    Record('C');
    ::ReleaseSRWLockExclusive(&g_lock);
    return ExceptionContinueSearch;
  }
  if (record->ExceptionCode != 0xC06D007E) return ExceptionContinueSearch;
  Record('H');
  return g_handle ? ExceptionContinueExecution : ExceptionContinueSearch;
}

namespace {

int RaiseMissingLibrary(void*) {
  DelayLoadInfo info = {};
  info.cb = sizeof(info);
  info.szDll = "foreign_provider.dll";
  info.dlp.fImportByName = TRUE;
  info.dlp.szProcName = "ProviderInitialize";
  ULONG_PTR arguments[1] = {reinterpret_cast<ULONG_PTR>(&info)};
  ::RaiseException(0xC06D007E, 0, 1, arguments);
  Record('R');
  return 1;
}

}  // namespace

extern "C" __declspec(dllexport) int ForeignWork(int handle) {
  g_handle = handle != 0;
  ::AcquireSRWLockExclusive(&g_lock);
  int result = foreign_frame(&RaiseMissingLibrary, nullptr);
  ::ReleaseSRWLockExclusive(&g_lock);
  Record('E');
  return result;
}

extern "C" __declspec(dllexport) BOOL ForeignLockIsFree() {
  if (!::TryAcquireSRWLockExclusive(&g_lock)) return FALSE;
  ::ReleaseSRWLockExclusive(&g_lock);
  return TRUE;
}

// The events since the last call, which clears them.
extern "C" __declspec(dllexport) void ForeignTakeEvents(char* out, int size) {
  lstrcpynA(out, g_events, size);
  g_event_count = 0;
  g_events[0] = '\0';
}
