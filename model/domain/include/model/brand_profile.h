#pragma once

// The two brand profiles of the program. The path the program was started
// from chooses one; it names the product, the maker (and so the per-user
// settings key), the radio models and the window's dressing.
#include <string>

#include "model/brand.h"

namespace tessel {

struct BrandProfile {
  int index;                // 0 or 1; profile 1 shows the splash window once
  const char* productName;  // caption, message box title, settings key, log header
  const char* maker;        // settings key
  const BrandModels& models;
  const char* setupTitle;  // caption of the model-E setup dialog
  int logoHeight;          // pixels of the logo strip; 0 hides it
};

const BrandProfile& brandProfile(int index);

// Profile 1 when the program's full path contains "lumalink" in any mix of
// upper and lower case, profile 0 otherwise.
int brandIndexForPath(const std::string& programPath);

// The revision the About box and the log header name; it begins with a
// blank, so "Tessel, " + it reads with two blanks after the comma.
inline constexpr const char* kRevisionText = " revision 1.00 on 2003/12/12 at 13:19";

// The About box's text: product name, a comma and the revision.
std::string aboutText(const BrandProfile& profile);

// The application title: product name + " Configurator".
std::string applicationTitle(const BrandProfile& profile);

}  // namespace tessel
