#include "installer/install/download_exception.h"

#include <windows.h>

#include <delayimp.h>

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace lite_installer
