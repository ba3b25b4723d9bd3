#include "installer/install/async_install_tasks.h"

#include <utility>

#include "installer/brand/brand_info.h"
#include "installer/brand/distrib_info_params.h"
#include "installer/install/http_downloader.h"
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

// A fresh name in the system temporary folder. The file GetTempFileNameW
// makes to claim the name is removed at once: a result file exists only
// once its download has finished. Empty on failure.
std::wstring ReserveTempPath() {
  wchar_t temp_dir[MAX_PATH + 1] = {};
  wchar_t path[MAX_PATH + 1] = {};
  DWORD length = ::GetTempPathW(MAX_PATH + 1, temp_dir);
  if (length == 0 || length > MAX_PATH ||
      !::GetTempFileNameW(temp_dir, L"kat", 0, path)) {
    PLOG(ERROR) << "Cannot reserve a temporary file";
    return std::wstring();
  }
  ::DeleteFileW(path);
  return path;
}

void DeleteResult(const std::wstring& path) {
  if (!path.empty()) ::DeleteFileW(path.c_str());
}

bool IsCancelled(HANDLE cancel_event) {
  return ::WaitForSingleObject(cancel_event, 0) == WAIT_OBJECT_0;
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
    const std::wstring& url, const std::wstring& path, HANDLE cancel_event) {
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
  if (!SaveVariations(path, seed)) {
    LOG(ERROR) << "Failed to save variations in " << path;
    return false;
  }
  LOG(INFO) << "Variations are saved in " << path;
  return true;
}

void DownloadServerConfigBundle(
    const AsyncInstallTasks::DownloaderFactory& factory,
    const std::wstring& url, const std::wstring& path, HANDLE cancel_event) {
  std::unique_ptr<HttpDownloader> downloader = NewDownloader(factory);
  if (!downloader->DownloadToFile(url, path, cancel_event)) {
    LOG(WARNING) << "Failed to download server config bundle: "
                 << downloader->error();
  }
}

void DownloadWallpaperBundle(
    const AsyncInstallTasks::DownloaderFactory& factory,
    const std::wstring& url, const std::wstring& path, HANDLE cancel_event) {
  std::unique_ptr<HttpDownloader> downloader = NewDownloader(factory);
  if (!downloader->DownloadToFile(url, path, cancel_event)) {
    LOG(WARNING) << "Failed to download wallpaper bundle: "
                 << downloader->error();
  }
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
  if (!brand_id.empty()) query = "brandID=" + brand_id;
  if (!partner_id.empty()) {
    if (!query.empty()) query += "&";
    query += "partnerID=" + partner_id;
  }
  std::string url = kServerConfigBundleUrl;
  if (!query.empty()) url += "?" + query;
  return lite_util::Utf8ToWide(url);
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
  if (selection.variations) variations_path_ = ReserveTempPath();
  if (selection.abt) abt_path_ = ReserveTempPath();
  if (selection.webntp) webntp_path_ = ReserveTempPath();
  if (selection.server_config) server_config_path_ = ReserveTempPath();
  if (selection.wallpapers) wallpaper_path_ = ReserveTempPath();
  QueueTasks(brand, selection);
  if (!queue_->tasks.empty()) InitializeThread();
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
  if (brand && !variations_path_.empty()) {
    std::wstring url = lite_util::Utf8ToWide(brand->GetVariationsUrl());
    std::wstring path = variations_path_;
    tasks.push_back([factory, url, path, cancel] {
      lite_installer::DownloadAndSaveVariations(factory, url, path, cancel);
    });
  }
  if (brand && !abt_path_.empty()) {
    std::wstring url = lite_util::Utf8ToWide(brand->GetAbtUrl());
    std::wstring path = abt_path_;
    tasks.push_back([factory, url, path, cancel] {
      lite_installer::DownloadAndSaveVariations(factory, url, path, cancel);
    });
  }
  if (!server_config_path_.empty()) {
    std::wstring url = brand ? ServerConfigBundleUrl(brand->brand_id(),
                                                     brand->partner_id())
                             : ServerConfigBundleUrl("", "");
    std::wstring path = server_config_path_;
    tasks.push_back([factory, url, path, cancel] {
      DownloadServerConfigBundle(factory, url, path, cancel);
    });
  }
  if (brand && !wallpaper_path_.empty() &&
      !brand->preloaded_wallpapers_url().empty()) {
    std::wstring url = lite_util::Utf8ToWide(
        brand->preloaded_wallpapers_url() + selection.wallpaper_parameter);
    std::wstring path = wallpaper_path_;
    tasks.push_back([factory, url, path, cancel] {
      DownloadWallpaperBundle(factory, url, path, cancel);
    });
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
  // A thread still running keeps the queue alive through its own share.
  if (stopped) queue_->tasks.clear();
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
                                                  const std::wstring& path,
                                                  HANDLE cancel_event) {
  return lite_installer::DownloadAndSaveVariations(factory_, url, path,
                                                   cancel_event);
}

}  // namespace lite_installer
