#include "installer/kelvra/util/application_association_registration_internal.h"

namespace lite_installer {
namespace {

// Newest first: each Windows 10 generation answers one of these ids.
constexpr AssociationCandidate kCandidates[] = {
    {{0x2A848E25, 0xD688, 0x4AA3,
      {0x8E, 0x55, 0x0C, 0x16, 0xCB, 0x3A, 0x2D, 0xFB}},
     kAssociationFlavourWithDefaultBrowser},
    {{0xFC0BE3A5, 0x6BE4, 0x423C,
      {0xB2, 0x87, 0x24, 0x89, 0x34, 0xE3, 0x79, 0xC7}},
     kAssociationFlavourWithDefaultBrowser},
    {{0x14EBCC88, 0x2831, 0x4FC8,
      {0xA5, 0xDF, 0x9F, 0x36, 0xA8, 0x1D, 0xB1, 0x2C}},
     kAssociationFlavourSelfContained},
    {{0x1C5C9D10, 0x1225, 0x4C97,
      {0x8C, 0x51, 0x98, 0xE1, 0xB6, 0xF0, 0xD4, 0xE0}},
     kAssociationFlavourSelfContained},
    {{0x229D59E2, 0xF94A, 0x402E,
      {0x9A, 0x9F, 0x3B, 0x84, 0xA1, 0xAC, 0xED, 0x77}},
     kAssociationFlavourSelfContained},
};

}  // namespace

const AssociationCandidate* AssociationCandidates(size_t* count) {
  // Constant-initialised: built before any thread can ask, never freed
  // before the process ends.
  *count = sizeof(kCandidates) / sizeof(kCandidates[0]);
  return kCandidates;
}

}  // namespace lite_installer
