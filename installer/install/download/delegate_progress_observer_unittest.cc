#include "installer/install/download/delegate_progress_observer.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "installer/install/installer_delegate.h"

namespace lite_installer {
namespace {

class RecordingDelegate : public InstallerDelegate {
 public:
  void OnDownloadProgress(float fraction) override {
    calls.push_back("progress " + std::to_string(fraction));
  }
  void OnSlowDownload() override { calls.push_back("slow"); }
  void OnRemainingTime(int seconds, int state) override {
    calls.push_back("remaining " + std::to_string(seconds) + " " +
                    std::to_string(state));
  }
  void OnFinished(bool) override { calls.push_back("finished"); }
  void OnError(int) override { calls.push_back("error"); }
  HWND GetWindowHandle() override { return nullptr; }
  void SetProgress(int) override { calls.push_back("set progress"); }
  void OnSetupStarted() override { calls.push_back("setup started"); }
  std::vector<std::string> calls;
};

TEST(DelegateProgressObserverTest, ForwardsWithTheRemainingTimeOffset) {
  RecordingDelegate delegate;
  DelegateProgressObserver observer(&delegate);
  observer.OnProgress(0.5f);
  observer.OnSlow();
  observer.OnRemainingTime(-1, kRemainingTimeUnknown);
  observer.OnRemainingTime(75, kRemainingTimeEstimated);
  EXPECT_EQ((std::vector<std::string>{"progress 0.500000", "slow",
                                      "remaining 239 0", "remaining 315 1"}),
            delegate.calls);
  // Without a delegate every call does nothing.
  DelegateProgressObserver silent(nullptr);
  silent.OnProgress(1.0f);
  silent.OnSlow();
  silent.OnRemainingTime(0, kRemainingTimeDone);
}

}  // namespace
}  // namespace lite_installer
