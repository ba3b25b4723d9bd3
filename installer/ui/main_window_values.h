// The main window's values that depend on nothing but their inputs: the
// check-box set, the mapping of the installer's and the setup's progress
// reports to the bar's percent (reports from other processes are clamped or
// ignored, never trusted), the progress text, and the slide folder.
#ifndef INSTALLER_UI_MAIN_WINDOW_VALUES_H_
#define INSTALLER_UI_MAIN_WINDOW_VALUES_H_

#include <windows.h>

#include <string>

namespace lite_installer {

struct PredeterminedChoices;

// Bit 0: the default-browser box is offered; bit 1: the statistics box;
// bit 2: the taskbar-shortcut box (kvpin state 2 or 3).
int ComputeCheckBoxSet(const PredeterminedChoices& choices, int kvpin_state);
bool IsKvpinOffered(int kvpin_state);

// The download's share of the bar: 5 at the start, 40 when done. A fraction
// outside 0..1 (or not a number) counts as the nearest end.
int DownloadProgressPercent(float fraction);

// "set_install_progress": stage 5 → 75, stage 7 → 79; false for any other
// stage.
bool InstallStageProgress(WPARAM stage, int* percent);

// "set_import_progress": import percent 0..100 → 80..100; false (ignored)
// for a value outside 0..100.
bool ImportProgress(WPARAM import_percent, int* percent);

// A percent posted to the window (WM_APP + 100), read as a signed value and
// clamped to 0..100.
int ClampPostedPercent(WPARAM wparam);

// The progress-text prefix of the Facetune variant: string 407 up to 40,
// 408 from 41 to 90, 409 above.
int ProgressPrefixStringId(int percent);
// "<prefix><percent>%".
std::wstring ProgressText(const std::wstring& prefix, int percent);

// The slide folder: the brand's slide URL when it has one, else
// https://<download host>/browser/installer/[facetune/]<language>/.
std::wstring SlideBaseUrl(const std::string& brand_slide_url, bool facetune,
                          const std::string& language_code,
                          const std::string& download_host);

}  // namespace lite_installer

#endif  // INSTALLER_UI_MAIN_WINDOW_VALUES_H_
