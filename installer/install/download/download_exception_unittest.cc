#include "installer/install/download/download_exception.h"

#include <windows.h>

#include <delayimp.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

// Delay-imported from testing/win/nonexistent_lite_test.def.
extern "C" int NonexistentLiteTestFunction(void);
LITE_DELAY_IMPORTS(kNonexistentImports, nonexistent_lite_test);

namespace lite_installer {
namespace {

// Raises the exception a delay-load helper raises when it cannot bind
// |procedure| (by name, or by |ordinal| when |procedure| is null) of |dll|.
struct DelayLoadFailure {
  DWORD code;
  const char* dll;
  const char* procedure;
  DWORD ordinal;
};

void RaiseDelayLoadFailure(void* context) {
  const auto* failure = static_cast<const DelayLoadFailure*>(context);
  DelayLoadInfo info = {};
  info.cb = sizeof(info);
  info.szDll = failure->dll;
  info.dlp.fImportByName = failure->procedure != nullptr;
  if (failure->procedure)
    info.dlp.szProcName = failure->procedure;
  else
    info.dlp.dwOrdinal = failure->ordinal;
  ULONG_PTR arguments[1] = {reinterpret_cast<ULONG_PTR>(&info)};
  ::RaiseException(failure->code, 0, 1, arguments);
  ADD_FAILURE() << "the guard let the raising call go on";
}

void AddOne(void* context) { ++*static_cast<int*>(context); }

TEST(DelayLoadGuardTest, AnOrdinaryCallRunsToItsEnd) {
  int calls = 0;
  DownloadException exception;
  exception.code = 5;
  EXPECT_TRUE(RunUnderDelayLoadGuard(&AddOne, &calls, &exception));
  EXPECT_EQ(1, calls);
  EXPECT_EQ(0u, exception.code);
  EXPECT_EQ("", exception.dll_name);
}

TEST(DelayLoadGuardTest, AMissingLibraryBecomesAFailureWithItsNames) {
  DelayLoadFailure failure = {kDelayLoadModuleNotFound, "CPLIB.DLL",
                              "CryptoProInitialize", 0};
  DownloadException exception;
  EXPECT_FALSE(RunUnderDelayLoadGuard(&RaiseDelayLoadFailure, &failure,
                                      &exception));
  EXPECT_EQ(0xC06D007Eu, exception.code);
  EXPECT_EQ("CPLIB.DLL", exception.dll_name);
  EXPECT_EQ("CryptoProInitialize", exception.proc_name);
}

TEST(DelayLoadGuardTest, AProcedureByOrdinalIsNamedByItsNumber) {
  DelayLoadFailure failure = {kDelayLoadProcedureNotFound, "x.dll", nullptr,
                              42};
  DownloadException exception;
  EXPECT_FALSE(RunUnderDelayLoadGuard(&RaiseDelayLoadFailure, &failure,
                                      &exception));
  EXPECT_EQ(0xC06D007Fu, exception.code);
  EXPECT_EQ("#42", exception.proc_name);
}

struct NestedCall {
  DelayLoadFailure failure;
  DownloadException inner;
  bool inner_result;
};

void RunInnerGuardThenAddNothing(void* context) {
  auto* nested = static_cast<NestedCall*>(context);
  nested->inner_result = RunUnderDelayLoadGuard(
      &RaiseDelayLoadFailure, &nested->failure, &nested->inner);
}

TEST(DelayLoadGuardTest, TheInnerGuardCatchesAndTheOuterCallGoesOn) {
  NestedCall nested = {{kDelayLoadModuleNotFound, "a.dll", "F", 0}, {}, true};
  DownloadException outer;
  EXPECT_TRUE(RunUnderDelayLoadGuard(&RunInnerGuardThenAddNothing, &nested,
                                     &outer));
  EXPECT_FALSE(nested.inner_result);
  EXPECT_EQ("a.dll", nested.inner.dll_name);
  EXPECT_EQ(0u, outer.code);
  // The guards are unlinked: a later guarded call works as before.
  int calls = 0;
  EXPECT_TRUE(RunUnderDelayLoadGuard(&AddOne, &calls, &outer));
  EXPECT_EQ(1, calls);
}

// The test library (testing/win/foreign_library.cc), beside this program.
class ForeignLibraryTest : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t path[MAX_PATH];
    DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    std::wstring dll(path, length);
    dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"foreign_library.dll";
    library_ = ::LoadLibraryW(dll.c_str());
    ASSERT_NE(nullptr, library_) << ::GetLastError();
    work_ = reinterpret_cast<int (*)(int)>(
        reinterpret_cast<void*>(::GetProcAddress(library_, "ForeignWork")));
    lock_is_free_ = reinterpret_cast<BOOL (*)()>(
        reinterpret_cast<void*>(::GetProcAddress(library_, "ForeignLockIsFree")));
    take_events_ = reinterpret_cast<void (*)(char*, int)>(
        reinterpret_cast<void*>(::GetProcAddress(library_, "ForeignTakeEvents")));
    ASSERT_TRUE(work_ && lock_is_free_ && take_events_);
    Events();
  }
  void TearDown() override {
    if (library_) ::FreeLibrary(library_);
  }

  std::string Events() {
    char events[32] = {};
    take_events_(events, sizeof(events));
    return events;
  }

  // The guarded call: the library's work, handling the exception itself
  // when |handle| is set.
  struct Work {
    int (*work)(int);
    int handle;
    int result;
  };
  static void CallWork(void* context) {
    auto* work = static_cast<Work*>(context);
    work->result = work->work(work->handle);
  }

  HMODULE library_ = nullptr;
  int (*work_)(int) = nullptr;
  BOOL (*lock_is_free_)() = nullptr;
  void (*take_events_)(char*, int) = nullptr;
};

#if defined(__i386__)
void* ExceptionChainHead() {
  return reinterpret_cast<NT_TIB*>(::NtCurrentTeb())->ExceptionList;
}
#endif

TEST_F(ForeignLibraryTest, TheLibrarysOwnHandlerRunsFirstAndKeepsIt) {
  Work work = {work_, 1, 0};
  DownloadException exception;
  EXPECT_TRUE(RunUnderDelayLoadGuard(&CallWork, &work, &exception));
  EXPECT_EQ(1, work.result);
  EXPECT_EQ(0u, exception.code);
  // Handled where it was raised: the raising call came back and the
  // library finished its work.
  EXPECT_EQ("HRE", Events());
  EXPECT_TRUE(lock_is_free_());
}

TEST_F(ForeignLibraryTest, AnUnhandledOneUnwindsTheLibraryAndFailsTheCall) {
#if defined(__i386__)
  void* chain_before = ExceptionChainHead();
#endif
  Work work = {work_, 0, -1};
  DownloadException exception;
  EXPECT_FALSE(RunUnderDelayLoadGuard(&CallWork, &work, &exception));
  EXPECT_EQ(-1, work.result);
  EXPECT_EQ(0xC06D007Eu, exception.code);
  EXPECT_EQ("foreign_provider.dll", exception.dll_name);
  EXPECT_EQ("ProviderInitialize", exception.proc_name);
  // The library's handler saw it first, then its frame was unwound: its
  // clean-up released the lock.
  EXPECT_EQ("HC", Events());
  EXPECT_TRUE(lock_is_free_());
#if defined(__i386__)
  // The thread's handler chain is as before, not left in the abandoned
  // frames.
  EXPECT_EQ(chain_before, ExceptionChainHead());
#endif

  // Later exceptions on this thread are handled as usual: by the library
  // itself, by the guard again, and a C++ exception by its catch.
  Work handled = {work_, 1, 0};
  EXPECT_EQ(1, work_(1));
  EXPECT_EQ("HRE", Events());
  EXPECT_TRUE(RunUnderDelayLoadGuard(&CallWork, &handled, &exception));
  EXPECT_EQ("HRE", Events());
  EXPECT_FALSE(RunUnderDelayLoadGuard(&CallWork, &work, &exception));
  EXPECT_EQ("HC", Events());
  EXPECT_TRUE(lock_is_free_());
  bool caught = false;
  try {
    throw std::runtime_error("later");
  } catch (const std::runtime_error&) {
    caught = true;
  }
  EXPECT_TRUE(caught);
}

struct MissingImportCall {
  bool entered;
  int result;
};

void CallMissingImport(void* context) {
  auto* call = static_cast<MissingImportCall*>(context);
  call->entered = true;
  call->result = NonexistentLiteTestFunction();
}

TEST(DelayLoadGuardTest, DelayedImportsBoundFirstFailBeforeTheCallStarts) {
  // The program's delayed import of a library no system has.
  static const ImgDelayDescr* const kBindFirst[] = {&kNonexistentImports,
                                                    nullptr};
  MissingImportCall call = {false, 0};
  DownloadException exception;
  EXPECT_FALSE(
      RunUnderDelayLoadGuard(&CallMissingImport, &call, &exception, kBindFirst));
  EXPECT_FALSE(call.entered);
  EXPECT_EQ(kDelayLoadModuleNotFound, exception.code);
  EXPECT_EQ("nonexistent_lite_test.dll", exception.dll_name);
  EXPECT_EQ("NonexistentLiteTestFunction", exception.proc_name);

  // Without the list the same failure comes from inside the call.
  EXPECT_FALSE(RunUnderDelayLoadGuard(&CallMissingImport, &call, &exception));
  EXPECT_TRUE(call.entered);
  EXPECT_EQ("nonexistent_lite_test.dll", exception.dll_name);
}

}  // namespace
}  // namespace lite_installer
