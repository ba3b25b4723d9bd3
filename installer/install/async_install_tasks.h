// The side downloads of an installation: the variations and ABT seeds, the
// server configuration bundle and the preloaded wallpapers, fetched one
// after another on their own thread while the setup archive downloads.
// Every result goes to a temporary path chosen at construction; the paths
// are handed to the setup whether or not their file has arrived by then.
#ifndef INSTALLER_INSTALL_ASYNC_INSTALL_TASKS_H_
#define INSTALLER_INSTALL_ASYNC_INSTALL_TASKS_H_

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "installer/lite_util/scoped_handle.h"

namespace lite_installer {

class BrandInfo;
class DistribInfoParams;
class HttpDownloader;

// Which side downloads a set of distribution parameters asks for. Each
// task's name is also the parameter that controls it: "vup" and "abtup"
// are on unless set to something other than "1", "webntp" and "scup" only
// when set to "1", "pwexp" whenever it holds text (its value).
struct AsyncTaskSelection {
  bool variations = false;
  bool abt = false;
  bool webntp = false;
  bool server_config = false;
  bool wallpapers = false;
  std::string wallpaper_parameter;
};
AsyncTaskSelection SelectAsyncTasks(const DistribInfoParams* distrib);

// https://<browser API host>/configs/all_zip with brandID and partnerID
// when they are not empty (percent-encoded; a value with a control
// character is left out).
std::wstring ServerConfigBundleUrl(const std::string& brand_id,
                                   const std::string& partner_id);
// The brand's wallpaper address followed by the "pwexp" parameter's text,
// percent-encoded; empty when either holds a control character.
std::wstring WallpaperBundleUrl(const std::string& base_url,
                                const std::string& parameter);

// A result file a task downloads into: its path and, until the task keeps
// the result, the handle that holds it (see async_install_tasks.cc).
struct AsyncResultFile {
  std::wstring path;
  lite_util::ScopedFileHandle file;
};

// How long destruction waits for a cancelled task thread.
constexpr DWORD kAsyncTasksCancelWaitMs = 5000;

class AsyncInstallTasks {
 public:
  using DownloaderFactory = std::function<std::unique_ptr<HttpDownloader>()>;

  // |brand| and |distrib| may be null; they are read only here.
  AsyncInstallTasks(const BrandInfo* brand, const DistribInfoParams* distrib);
  // The same with the downloads made by |factory|'s downloaders.
  AsyncInstallTasks(const BrandInfo* brand, const DistribInfoParams* distrib,
                    DownloaderFactory factory);
  AsyncInstallTasks(const AsyncInstallTasks&) = delete;
  AsyncInstallTasks& operator=(const AsyncInstallTasks&) = delete;
  // Cancels, waits for the thread and deletes the seed and server-config
  // results (the web new-tab page and wallpaper results stay for the
  // browser). A cancel reaches a download between two chunks; a request
  // that hangs inside WinINet (a server that accepted the connection and
  // went quiet) cannot see it, so the wait ends after
  // kAsyncTasksCancelWaitMs and the thread is left to finish on its own:
  // it holds its share of the queue and writes nothing once cancelled.
  ~AsyncInstallTasks();

  // Empty when the task is off or no path could be reserved.
  const std::wstring& variations_path() const { return variations_path_; }
  const std::wstring& abt_path() const { return abt_path_; }
  const std::wstring& webntp_path() const { return webntp_path_; }
  const std::wstring& server_config_path() const {
    return server_config_path_;
  }
  const std::wstring& wallpaper_path() const { return wallpaper_path_; }
  bool has_thread() const { return thread_.IsValid(); }

  // Downloads a seed from |url| and stores it with its headers in
  // |result|, which it keeps on success.
  bool DownloadAndSaveVariations(const std::wstring& url,
                                 AsyncResultFile* result,
                                 HANDLE cancel_event);

 private:
  // The cancel event and the queued work, shared by the object and its
  // thread so that a thread that outlives the object still has them.
  struct TaskQueue {
    lite_util::ScopedEventHandle cancel_event;
    std::vector<std::function<void()>> tasks;
    std::vector<std::shared_ptr<AsyncResultFile>> results;
  };

  static DWORD WINAPI ThreadProc(void* queue);
  void QueueTasks(const BrandInfo* brand, const AsyncTaskSelection& selection);
  // Creates a result file held by the queue; its path, empty on failure.
  std::wstring AddResult(std::shared_ptr<AsyncResultFile>* result);
  void InitializeThread();

  std::wstring variations_path_;
  std::wstring abt_path_;
  std::wstring webntp_path_;
  std::wstring server_config_path_;
  std::wstring wallpaper_path_;
  lite_util::ScopedThreadHandle thread_;
  std::shared_ptr<TaskQueue> queue_;
  DownloaderFactory factory_;
};

}  // namespace lite_installer

#endif  // INSTALLER_INSTALL_ASYNC_INSTALL_TASKS_H_
