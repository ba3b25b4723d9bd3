// One family of move-only owners for what Win32 hands out: kernel handles,
// registry keys, internet handles, GDI objects, module handles, COM pointers.
// Closing keeps the thread's last error intact, so a failure can still be
// logged after the handle that caused it is gone.
#ifndef INSTALLER_LITE_UTIL_SCOPED_HANDLE_H_
#define INSTALLER_LITE_UTIL_SCOPED_HANDLE_H_

#include <windows.h>

// Not part of windows.h under WIN32_LEAN_AND_MEAN.
#include <objbase.h>
#include <wincrypt.h>

#include <utility>

// WinINet's handle and its closer, declared as <wininet.h> declares them:
// that header cannot share a file with <winhttp.h>, and every file that
// includes this one would otherwise have to choose.
typedef LPVOID HINTERNET;
extern "C" DECLSPEC_IMPORT WINBOOL WINAPI InternetCloseHandle(HINTERNET);

namespace lite_util {

template <typename Traits>
class GenericScopedHandle {
 public:
  using Handle = typename Traits::Handle;

  GenericScopedHandle() : handle_(Traits::NullHandle()) {}
  explicit GenericScopedHandle(Handle handle) : handle_(handle) {}
  GenericScopedHandle(GenericScopedHandle&& other) : handle_(other.Take()) {}
  GenericScopedHandle& operator=(GenericScopedHandle&& other) {
    if (this != &other) Set(other.Take());
    return *this;
  }
  GenericScopedHandle(const GenericScopedHandle&) = delete;
  GenericScopedHandle& operator=(const GenericScopedHandle&) = delete;
  ~GenericScopedHandle() { Close(); }

  bool IsValid() const { return Traits::IsHandleValid(handle_); }
  Handle Get() const { return handle_; }

  // Replaces the owned handle, closing the previous one.
  void Set(Handle handle) {
    if (handle != handle_) {
      Close();
      handle_ = handle;
    }
  }

  // Gives up ownership without closing.
  Handle Take() {
    Handle h = handle_;
    handle_ = Traits::NullHandle();
    return h;
  }

  void Close() {
    if (IsValid()) {
      DWORD error = ::GetLastError();
      Traits::CloseHandle(handle_);
      ::SetLastError(error);
    }
    handle_ = Traits::NullHandle();
  }

  // For out-parameters of APIs that return a new handle (RegOpenKeyExW).
  Handle* Receive() {
    Close();
    return &handle_;
  }

 private:
  Handle handle_;
};

// Kernel objects: both NULL and INVALID_HANDLE_VALUE mean "no handle".
struct HandleTraits {
  using Handle = HANDLE;
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) {
    return h != nullptr && h != INVALID_HANDLE_VALUE;
  }
  static void CloseHandle(Handle h) { ::CloseHandle(h); }
};

struct FindHandleTraits : HandleTraits {
  static void CloseHandle(Handle h) { ::FindClose(h); }
};

struct RegKeyTraits {
  using Handle = HKEY;
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) { ::RegCloseKey(h); }
};

struct ModuleTraits {
  using Handle = HMODULE;
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) { ::FreeLibrary(h); }
};

struct LocalMemoryTraits {
  using Handle = HLOCAL;
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) { ::LocalFree(h); }
};

// A view of a file mapping (MapViewOfFile); the mapping handle itself is a
// kernel handle.
struct MappedViewTraits {
  using Handle = const void*;
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) { ::UnmapViewOfFile(h); }
};

// A cabinet decompression context (HFDI). cabinet.dll is loaded at run time,
// so the context is released through the FDIDestroy its loader resolved and
// recorded here; no context exists before that.
struct FdiContextTraits {
  using Handle = void*;
  using DestroyFunction = int(__cdecl*)(void*);
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) {
    if (destroy_function) destroy_function(h);
  }
  static inline DestroyFunction destroy_function = nullptr;
};

// A WinHTTP session, connection or request handle. Programs that load
// winhttp.dll at run time record the WinHttpCloseHandle they resolved here;
// no handle exists before that.
struct WinHttpHandleTraits {
  using Handle = void*;
  using CloseFunction = BOOL(WINAPI*)(void*);
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) {
    if (close_function) close_function(h);
  }
  static inline CloseFunction close_function = nullptr;
};

template <typename T>
struct GdiObjectTraits {
  using Handle = T;
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) { ::DeleteObject(h); }
};

// A device context made by CreateCompatibleDC.
struct MemoryDcTraits {
  using Handle = HDC;
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) { ::DeleteDC(h); }
};

struct GlobalMemoryTraits {
  using Handle = HGLOBAL;
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) { ::GlobalFree(h); }
};

// A window this code created and destroys.
struct WindowTraits {
  using Handle = HWND;
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) { ::DestroyWindow(h); }
};

// A window that another thread may have to let go: DestroyWindow works
// only on the thread that made the window (from any other thread it fails
// with error 5), so from elsewhere the window is asked to close itself
// (WM_CLOSE, which the default window procedure answers by destroying it on
// its own thread). A window whose thread has ended is already gone.
struct OwnThreadWindowTraits {
  using Handle = HWND;
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) {
    if (::GetWindowThreadProcessId(h, nullptr) == ::GetCurrentThreadId())
      ::DestroyWindow(h);
    else
      ::PostMessageW(h, WM_CLOSE, 0, 0);
  }
};

// An icon loaded with LoadImageW (not a shared one).
struct IconTraits {
  using Handle = HICON;
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) { ::DestroyIcon(h); }
};

// Session, connection and request handles of WinINet.
struct InternetHandleTraits {
  using Handle = HINTERNET;
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) { ::InternetCloseHandle(h); }
};

// CryptoAPI: a provider context, a hash, a key, a certificate store and a
// cryptographic message.
struct CryptProviderTraits {
  using Handle = HCRYPTPROV;
  static Handle NullHandle() { return 0; }
  static bool IsHandleValid(Handle h) { return h != 0; }
  static void CloseHandle(Handle h) { ::CryptReleaseContext(h, 0); }
};

struct CryptHashTraits {
  using Handle = HCRYPTHASH;
  static Handle NullHandle() { return 0; }
  static bool IsHandleValid(Handle h) { return h != 0; }
  static void CloseHandle(Handle h) { ::CryptDestroyHash(h); }
};

struct CryptKeyTraits {
  using Handle = HCRYPTKEY;
  static Handle NullHandle() { return 0; }
  static bool IsHandleValid(Handle h) { return h != 0; }
  static void CloseHandle(Handle h) { ::CryptDestroyKey(h); }
};

struct CertStoreTraits {
  using Handle = HCERTSTORE;
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) { ::CertCloseStore(h, 0); }
};

struct CryptMsgTraits {
  using Handle = HCRYPTMSG;
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) { ::CryptMsgClose(h); }
};

// Memory the callee allocated with CoTaskMemAlloc (strings handed out by
// COM methods).
template <typename T>
struct CoTaskMemoryTraits {
  using Handle = T*;
  static Handle NullHandle() { return nullptr; }
  static bool IsHandleValid(Handle h) { return h != nullptr; }
  static void CloseHandle(Handle h) { ::CoTaskMemFree(h); }
};

using ScopedHandle = GenericScopedHandle<HandleTraits>;
using ScopedFileHandle = ScopedHandle;
using ScopedEventHandle = ScopedHandle;
using ScopedMutexHandle = ScopedHandle;
using ScopedProcessHandle = ScopedHandle;
using ScopedThreadHandle = ScopedHandle;
using ScopedFindHandle = GenericScopedHandle<FindHandleTraits>;
using ScopedRegKey = GenericScopedHandle<RegKeyTraits>;
using ScopedModule = GenericScopedHandle<ModuleTraits>;
using ScopedLocalMemory = GenericScopedHandle<LocalMemoryTraits>;
using ScopedMappedView = GenericScopedHandle<MappedViewTraits>;
using ScopedFdiContext = GenericScopedHandle<FdiContextTraits>;
using ScopedWinHttpHandle = GenericScopedHandle<WinHttpHandleTraits>;
using ScopedBitmap = GenericScopedHandle<GdiObjectTraits<HBITMAP>>;
using ScopedFont = GenericScopedHandle<GdiObjectTraits<HFONT>>;
using ScopedBrush = GenericScopedHandle<GdiObjectTraits<HBRUSH>>;
using ScopedRegion = GenericScopedHandle<GdiObjectTraits<HRGN>>;
using ScopedWindow = GenericScopedHandle<WindowTraits>;
using ScopedOwnThreadWindow = GenericScopedHandle<OwnThreadWindowTraits>;
using ScopedIcon = GenericScopedHandle<IconTraits>;
using ScopedMemoryDC = GenericScopedHandle<MemoryDcTraits>;
using ScopedGlobalMemory = GenericScopedHandle<GlobalMemoryTraits>;
using ScopedInternetHandle = GenericScopedHandle<InternetHandleTraits>;
using ScopedCryptProvider = GenericScopedHandle<CryptProviderTraits>;
using ScopedCryptHash = GenericScopedHandle<CryptHashTraits>;
using ScopedCryptKey = GenericScopedHandle<CryptKeyTraits>;
using ScopedCertStore = GenericScopedHandle<CertStoreTraits>;
using ScopedCryptMsg = GenericScopedHandle<CryptMsgTraits>;
using ScopedCoTaskMemString = GenericScopedHandle<CoTaskMemoryTraits<wchar_t>>;

// Releases a mutex this thread owns when it goes out of scope.
class ScopedMutexRelease {
 public:
  explicit ScopedMutexRelease(HANDLE mutex) : mutex_(mutex) {}
  ScopedMutexRelease(const ScopedMutexRelease&) = delete;
  ScopedMutexRelease& operator=(const ScopedMutexRelease&) = delete;
  ~ScopedMutexRelease() {
    if (mutex_) ::ReleaseMutex(mutex_);
  }

 private:
  HANDLE mutex_;
};

// A window's (or the screen's, for a null window) device context from
// GetDC, released with ReleaseDC.
class ScopedGetDC {
 public:
  explicit ScopedGetDC(HWND window) : window_(window), dc_(::GetDC(window)) {}
  ScopedGetDC(const ScopedGetDC&) = delete;
  ScopedGetDC& operator=(const ScopedGetDC&) = delete;
  ~ScopedGetDC() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }
  HDC Get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// BeginPaint in the constructor, EndPaint in the destructor.
class ScopedPaint {
 public:
  explicit ScopedPaint(HWND window) : window_(window) {
    dc_ = ::BeginPaint(window, &paint_);
  }
  ScopedPaint(const ScopedPaint&) = delete;
  ScopedPaint& operator=(const ScopedPaint&) = delete;
  ~ScopedPaint() { ::EndPaint(window_, &paint_); }
  HDC Get() const { return dc_; }
  const PAINTSTRUCT& paint() const { return paint_; }

 private:
  HWND window_;
  HDC dc_;
  PAINTSTRUCT paint_;
};

// Selects a GDI object into a DC and selects the previous one back.
class ScopedSelectObject {
 public:
  ScopedSelectObject(HDC dc, HGDIOBJ object)
      : dc_(dc), previous_(object ? ::SelectObject(dc, object) : nullptr) {}
  ScopedSelectObject(const ScopedSelectObject&) = delete;
  ScopedSelectObject& operator=(const ScopedSelectObject&) = delete;
  ~ScopedSelectObject() { Restore(); }
  // Selects the previous object back now (before the selected object is
  // used elsewhere, as CopyImage requires).
  void Restore() {
    if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
    previous_ = nullptr;
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Owner of one COM interface pointer.
template <typename T>
class ScopedComPtr {
 public:
  ScopedComPtr() = default;
  explicit ScopedComPtr(T* p) : p_(p) {}
  ScopedComPtr(const ScopedComPtr&) = delete;
  ScopedComPtr& operator=(const ScopedComPtr&) = delete;
  ~ScopedComPtr() { Reset(); }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T** Receive() {
    Reset();
    return &p_;
  }
  void Reset() {
    if (p_) {
      p_->Release();
      p_ = nullptr;
    }
  }

 private:
  T* p_ = nullptr;
};

// COM on the calling thread for the life of the object, in the apartment
// given to CoInitializeEx. Every successful initialisation (S_FALSE too) is
// balanced by CoUninitialize; a failed one is not.
class ScopedComInitializer {
 public:
  explicit ScopedComInitializer(DWORD apartment)
      : result_(::CoInitializeEx(nullptr, apartment)) {}
  ScopedComInitializer(const ScopedComInitializer&) = delete;
  ScopedComInitializer& operator=(const ScopedComInitializer&) = delete;
  ~ScopedComInitializer() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

}  // namespace lite_util

#endif  // INSTALLER_LITE_UTIL_SCOPED_HANDLE_H_
