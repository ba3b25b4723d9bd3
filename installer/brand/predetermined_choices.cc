#include "installer/brand/predetermined_choices.h"

#include <string>

#include "installer/brand/brand_info.h"
#include "installer/brand/distrib_info_params.h"

namespace lite_installer {
namespace {

// A two-state parameter: given only when exactly "1" or "2".
bool FindTwoState(const DistribInfoParams* distrib, const char* key,
                  bool* yes) {
  std::string value;
  if (!distrib || !distrib->Find(key, &value)) return false;
  if (value != "1" && value != "2") return false;
  *yes = value == "1";
  return true;
}

}  // namespace

PredeterminedChoices GetPredeterminedChoices(const DistribInfoParams* distrib) {
  PredeterminedChoices choices;
  choices.default_browser_given =
      FindTwoState(distrib, "def", &choices.make_default);
  choices.statistics_given =
      FindTwoState(distrib, "stat", &choices.send_statistics);
  std::string promo;
  if (!choices.statistics_given && distrib &&
      distrib->Find("statpromo", &promo)) {
    choices.statistics_given = true;
    choices.send_statistics = promo == "true";
  }
  return choices;
}

bool IsFirstScreenSkipped(bool facetune_enabled, bool facetune_first_screen_off,
                          const DistribInfoParams* distrib) {
  std::string first;
  bool wanted = (facetune_enabled && facetune_first_screen_off) ||
                (distrib && distrib->Find("first", &first) && first == "1");
  if (!wanted) return false;
  PredeterminedChoices choices = GetPredeterminedChoices(distrib);
  return choices.default_browser_given && choices.statistics_given;
}

bool IsFirstScreenSkipped(const BrandInfo* brand,
                          const DistribInfoParams* distrib) {
  return IsFirstScreenSkipped(brand && brand->facetune_enabled(),
                              brand && brand->facetune_first_screen_off(),
                              distrib);
}

}  // namespace lite_installer
