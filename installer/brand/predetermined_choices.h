// The choices the distribution parameters make for the user, and whether the
// first screen of the main window is skipped because of them.
#ifndef INSTALLER_BRAND_PREDETERMINED_CHOICES_H_
#define INSTALLER_BRAND_PREDETERMINED_CHOICES_H_

namespace lite_installer {

class BrandInfo;
class DistribInfoParams;

struct PredeterminedChoices {
  // "def" exactly "1" (yes) or "2" (no).
  bool default_browser_given = false;
  bool make_default = false;
  // "stat" exactly "1" or "2"; otherwise "statpromo" present at all (yes
  // when it is exactly "true").
  bool statistics_given = false;
  bool send_statistics = false;
};

// No parameters (null) give no choice.
PredeterminedChoices GetPredeterminedChoices(const DistribInfoParams* distrib);

// Skipped when both choices are given and either the brand turns the
// facetune first screen off (facetune enabled too) or "first" is exactly
// "1".
bool IsFirstScreenSkipped(bool facetune_enabled, bool facetune_first_screen_off,
                          const DistribInfoParams* distrib);
bool IsFirstScreenSkipped(const BrandInfo* brand,
                          const DistribInfoParams* distrib);

}  // namespace lite_installer

#endif  // INSTALLER_BRAND_PREDETERMINED_CHOICES_H_
