#include "model/brand_profile.h"

#include "model/text.h"

namespace tessel {

namespace {
const BrandProfile kProfiles[2] = {
    {0, "Tessel", "Corvane", kBrandModels0, "Vireo E Configuration", 0},
    {1, "LUMA-LINK", "Tarrow Controls", kBrandModels1, "LUMA-MB Configuration", 37},
};
}  // namespace

const BrandProfile& brandProfile(int index) {
  return kProfiles[index == 1 ? 1 : 0];
}

int brandIndexForPath(const std::string& programPath) {
  return lowerCase(programPath).find("lumalink") != std::string::npos ? 1 : 0;
}

std::string aboutText(const BrandProfile& profile) {
  return std::string(profile.productName) + ", " + kRevisionText;
}

std::string applicationTitle(const BrandProfile& profile) {
  return std::string(profile.productName) + " Configurator";
}

}  // namespace tessel
