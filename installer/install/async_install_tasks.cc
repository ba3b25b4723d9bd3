#include "installer/install/async_install_tasks.h"

#include <utility>

#include "installer/brand/brand_info.h"
#include "installer/brand/distrib_info_params.h"
#include "installer/brand/web_page_urls.h"
#include "installer/install/download/http_downloader.h"
#include "installer/install/temp_file.h"
#include "installer/install/variations_seed.h"
#include "installer/lite_util/logging/log.h"
#include "installer/lite_util/string_util.h"
#include "service_hosts.h"

namespace lite_installer {
namespace {

constexpr char kServerConfigBundleUrl[] =
    "https://" KELVRA_BROWSER_API_HOST "/configs/all_zip";

// A parameter that is "1", or absent when |on_when_absent|.
bool IsTaskOn(const DistribInfoParams* distrib, const char* name,
              bool on_when_absent) {
  std::string value;
  if (!distrib || !distrib->Find(name, &value)) return on_when_absent;
  return value == "1";
}

// A fresh name in the system temporary folder for a result nobody in the
// installer writes (the web new-tab page, wallpapers without an address):
// the file GetTempFileNameW makes to claim the name is removed at once.
// Empty on failure.
std::wstring ReserveTempPath() {
  wchar_t path[MAX_PATH + 1] = {};
  const std::wstring dir = GetTempDirectory();
  if (dir.empty() || !::GetTempFileNameW(dir.c_str(), L"kat", 0, path)) {
    PLOG(ERROR) << "Cannot reserve a temporary file";
    return std::wstring();
  }
  ::DeleteFileW(path);
  return path;
}

// A result a task downloads: created at once, exclusively, and held from
// then on. Until its task commits it, the file is marked for deletion when
// its handle closes: a task that fails, is cancelled or is abandoned (and
// ended with the process) leaves nothing behind, and on Windows nobody can
// open the file while it is in that state.
std::shared_ptr<AsyncResultFile> CreateResultFile() {
  auto result = std::make_shared<AsyncResultFile>();
  result->file = CreateUniqueTempFile(
      GetTempDirectory(), L"kat", GENERIC_READ | GENERIC_WRITE | DELETE, 0,
      NextTempFileNumber(), &result->path);
  if (!result->file.IsValid()) {
    PLOG(ERROR) << "Cannot reserve a temporary file";
    return nullptr;
  }
  if (!SetDeleteOnClose(result->file.Get(), true)) {
    PLOG(ERROR) << "Cannot mark " << result->path << " for deletion";
    result->file.Close();
    ::DeleteFileW(result->path.c_str());
    return nullptr;
  }
  return result;
}

bool IsCancelled(HANDLE cancel_event) {
  return ::WaitForSingleObject(cancel_event, 0) == WAIT_OBJECT_0;
}

// Keeps a finished result: unless the tasks were cancelled meanwhile (the
// destructor then deletes or has deleted the results), the deletion mark
// goes and the handle closes.
bool CommitResult(AsyncResultFile* result, HANDLE cancel_event) {
  if (IsCancelled(cancel_event)) {
    LOG(INFO) << "Cancelled before keeping " << result->path;
    return false;
  }
  if (!SetDeleteOnClose(result->file.Get(), false)) {
    PLOG(ERROR) << "Cannot keep " << result->path;
    return false;
  }
  result->file.Close();
  return true;
}

void DeleteResult(const std::wstring& path) {
  if (!path.empty()) ::DeleteFileW(path.c_str());
}

std::unique_ptr<HttpDownloader> NewDownloader(
    const AsyncInstallTasks::DownloaderFactory& factory) {
  if (factory) return factory();
  return std::unique_ptr<HttpDownloader>(new HttpDownloader());
}

// The tasks' bodies. Their lambdas hold copies of what they need and each
// makes its own downloader: a thread left running after destruction
// touches nothing of the object.
bool DownloadAndSaveVariations(
    const AsyncInstallTasks::DownloaderFactory& factory,
    const std::wstring& url, AsyncResultFile* result, HANDLE cancel_event) {
  std::unique_ptr<HttpDownloader> downloader = NewDownloader(factory);
  VariationsSeed seed;
  if (!downloader->DownloadToString(url, cancel_event, &seed.data)) {
    LOG(ERROR) << "Failed to download variations seed: "
               << downloader->error();
    return false;
  }
  seed.signature = downloader->GetResponseHeader("X-Seed-Signature");
  if (seed.signature.empty()) {
    LOG(ERROR) << "Failed to get variations seed signature";
    return false;
  }
  seed.last_modified = downloader->GetResponseHeader("Last-Modified");
  seed.country = downloader->GetResponseHeader("X-Country");
  // A seed that arrives after the cancel would outlive the deletion of
  // the results.
  if (IsCancelled(cancel_event)) {
    LOG(INFO) << "Download cancelled: " << url;
    return false;
  }
  if (!SaveVariationsToFile(result->file.Get(), seed) ||
      !CommitResult(result, cancel_event)) {
    LOG(ERROR) << "Failed to save variations in " << result->path;
    return false;
  }
  LOG(INFO) << "Variations are saved in " << result->path;
  return true;
}

// A bundle into |result|; false with the downloader's error in |error|.
bool DownloadBundle(const AsyncInstallTasks::DownloaderFactory& factory,
                    const std::wstring& url, AsyncResultFile* result,
                    HANDLE cancel_event, std::wstring* error) {
  std::unique_ptr<HttpDownloader> downloader = NewDownloader(factory);
  if (!downloader->DownloadToHandle(url, result->file.Get(), cancel_event)) {
    *error = downloader->error();
    return false;
  }
  return CommitResult(result, cancel_event);
}

void DownloadServerConfigBundle(
    const AsyncInstallTasks::DownloaderFactory& factory,
    const std::wstring& url, AsyncResultFile* result, HANDLE cancel_event) {
  std::wstring error;
  if (!DownloadBundle(factory, url, result, cancel_event, &error)) {
    LOG(WARNING) << "Failed to download server config bundle: " << error;
  }
}

void DownloadWallpaperBundle(
    const AsyncInstallTasks::DownloaderFactory& factory,
    const std::wstring& url, AsyncResultFile* result, HANDLE cancel_event) {
  std::wstring error;
  if (!DownloadBundle(factory, url, result, cancel_event, &error)) {
    LOG(WARNING) << "Failed to download wallpaper bundle: " << error;
  }
}

// Runs a task body; a result it did not keep goes at once (its handle
// closes and takes the file marked for deletion with it).
template <typename Body>
void RunTask(AsyncResultFile* result, Body body) {
  body();
  result->file.Close();
}

}  // namespace

AsyncTaskSelection SelectAsyncTasks(const DistribInfoParams* distrib) {
  AsyncTaskSelection selection;
  selection.variations = IsTaskOn(distrib, "vup", true);
  selection.abt = IsTaskOn(distrib, "abtup", true);
  selection.webntp = IsTaskOn(distrib, "webntp", false);
  selection.server_config = IsTaskOn(distrib, "scup", false);
  if (distrib) distrib->Find("pwexp", &selection.wallpaper_parameter);
  selection.wallpapers = !selection.wallpaper_parameter.empty();
  return selection;
}

std::wstring ServerConfigBundleUrl(const std::string& brand_id,
                                   const std::string& partner_id) {
  std::string query;
  if (!brand_id.empty() && !HasControlCharacters(brand_id))
    query = "brandID=" + EscapeUrlValue(brand_id);
  if (!partner_id.empty() && !HasControlCharacters(partner_id)) {
    if (!query.empty()) query += "&";
    query += "partnerID=" + EscapeUrlValue(partner_id);
  }
  std::string url = kServerConfigBundleUrl;
  if (!query.empty()) url += "?" + query;
  return lite_util::Utf8ToWide(url);
}

std::wstring WallpaperBundleUrl(const std::string& base_url,
                                const std::string& parameter) {
  if (HasControlCharacters(base_url) || HasControlCharacters(parameter)) {
    LOG(ERROR) << "The wallpaper address holds a control character";
    return std::wstring();
  }
  return lite_util::WidenBytes(base_url + EscapeUrlValue(parameter));
}

AsyncInstallTasks::AsyncInstallTasks(const BrandInfo* brand,
                                     const DistribInfoParams* distrib)
    : AsyncInstallTasks(brand, distrib, nullptr) {}

AsyncInstallTasks::AsyncInstallTasks(const BrandInfo* brand,
                                     const DistribInfoParams* distrib,
                                     DownloaderFactory factory)
    : queue_(std::make_shared<TaskQueue>()), factory_(std::move(factory)) {
  queue_->cancel_event.Set(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  AsyncTaskSelection selection = SelectAsyncTasks(distrib);
  QueueTasks(brand, selection);
  if (selection.webntp) webntp_path_ = ReserveTempPath();
  if (selection.wallpapers && wallpaper_path_.empty())
    wallpaper_path_ = ReserveTempPath();
  if (!queue_->tasks.empty()) InitializeThread();
}

std::wstring AsyncInstallTasks::AddResult(std::shared_ptr<AsyncResultFile>* result) {
  *result = CreateResultFile();
  if (!*result) return std::wstring();
  queue_->results.push_back(*result);
  return (*result)->path;
}

void AsyncInstallTasks::QueueTasks(const BrandInfo* brand,
                                   const AsyncTaskSelection& selection) {
  // Without a cancel event a running task could never be stopped.
  if (!queue_->cancel_event.IsValid()) {
    PLOG(ERROR) << "Cannot create the cancel event of the async tasks";
    return;
  }
  // The seeds and wallpapers come from the brand's addresses; without a
  // brand their paths are still passed on, with no file behind them.
  const HANDLE cancel = queue_->cancel_event.Get();
  const DownloaderFactory factory = factory_;
  std::vector<std::function<void()>>& tasks = queue_->tasks;
  std::shared_ptr<AsyncResultFile> result;
  // A seed's path is held for its download; without a brand it is only
  // a name.
  auto queue_seed = [&](bool selected, const std::string& url,
                        std::wstring* path) {
    result.reset();
    if (!selected) return;
    if (!brand) {
      *path = ReserveTempPath();
      return;
    }
    *path = AddResult(&result);
    if (!result) return;
    const std::wstring wide_url = lite_util::Utf8ToWide(url);
    AsyncResultFile* file = result.get();
    tasks.push_back([factory, wide_url, file, cancel] {
      RunTask(file, [&] {
        lite_installer::DownloadAndSaveVariations(factory, wide_url, file,
                                                  cancel);
      });
    });
  };
  queue_seed(selection.variations,
             brand ? brand->GetVariationsUrl() : std::string(),
             &variations_path_);
  queue_seed(selection.abt, brand ? brand->GetAbtUrl() : std::string(),
             &abt_path_);
  result.reset();
  if (selection.server_config) {
    server_config_path_ = AddResult(&result);
    if (result) {
      std::wstring url = brand ? ServerConfigBundleUrl(brand->brand_id(),
                                                       brand->partner_id())
                               : ServerConfigBundleUrl("", "");
      AsyncResultFile* file = result.get();
      tasks.push_back([factory, url, file, cancel] {
        RunTask(file, [&] {
          DownloadServerConfigBundle(factory, url, file, cancel);
        });
      });
    }
  }
  result.reset();
  if (selection.wallpapers && brand &&
      !brand->preloaded_wallpapers_url().empty()) {
    std::wstring url = WallpaperBundleUrl(brand->preloaded_wallpapers_url(),
                                          selection.wallpaper_parameter);
    if (!url.empty()) {
      wallpaper_path_ = AddResult(&result);
      if (result) {
        AsyncResultFile* file = result.get();
        tasks.push_back([factory, url, file, cancel] {
          RunTask(file, [&] {
            DownloadWallpaperBundle(factory, url, file, cancel);
          });
        });
      }
    }
  }
}

void AsyncInstallTasks::InitializeThread() {
  // The thread's own reference to the queue; it releases it when done.
  auto* share = new std::shared_ptr<TaskQueue>(queue_);
  thread_.Set(::CreateThread(nullptr, 0, &ThreadProc, share, 0, nullptr));
  if (!thread_.IsValid()) {
    PLOG_AS(ERROR, "InitializeThread")
        << "Failed to create thread for async install tasks";
    delete share;
  }
}

AsyncInstallTasks::~AsyncInstallTasks() {
  bool stopped = true;
  if (thread_.IsValid()) {
    ::SetEvent(queue_->cancel_event.Get());
    if (::WaitForSingleObject(thread_.Get(), kAsyncTasksCancelWaitMs) !=
        WAIT_OBJECT_0) {
      stopped = false;
      LOG(WARNING) << "Async install tasks did not stop within "
                   << kAsyncTasksCancelWaitMs
                   << " ms of the cancel; not waiting for them";
    }
  }
  DeleteResult(variations_path_);
  DeleteResult(abt_path_);
  DeleteResult(server_config_path_);
  // A thread still running keeps the queue alive through its own share;
  // the results it holds are marked for deletion until their task keeps
  // them, so they go at the latest with the process.
  if (stopped) {
    queue_->tasks.clear();
    queue_->results.clear();
  }
  thread_.Close();
}

DWORD WINAPI AsyncInstallTasks::ThreadProc(void* queue) {
  std::unique_ptr<std::shared_ptr<TaskQueue>> share(
      static_cast<std::shared_ptr<TaskQueue>*>(queue));
  const TaskQueue& tasks = **share;
  for (const auto& task : tasks.tasks) {
    if (IsCancelled(tasks.cancel_event.Get())) break;
    task();
  }
  return 0;
}

bool AsyncInstallTasks::DownloadAndSaveVariations(const std::wstring& url,
                                                  AsyncResultFile* result,
                                                  HANDLE cancel_event) {
  return lite_installer::DownloadAndSaveVariations(factory_, url, result,
                                                   cancel_event);
}

}  // namespace lite_installer
