#pragma once

// The radio model names of the two brand profiles: the entries of the radio
// type selector and the values stored under the model key of a radio's
// project section.
#include <array>

#include "model/catalogue.h"

namespace tessel {

struct BrandModels {
  // Key under which a radio section names its model; also the caption of the
  // radio type selector.
  const char* modelKey;
  // Model names by model index; "" where the brand has no such model.
  std::array<const char*, kModelCount> names;
  // Number of models the brand offers (leading non-empty names).
  int modelCount;
};

inline constexpr BrandModels kBrandModels0{
    "Radio Model", {"Vireo E", "Vireo Version 2", "Vireo Version 1"}, 3};
inline constexpr BrandModels kBrandModels1{"LUMA-HOP-9", {"LUMA-MB", "LUMA-M", ""}, 2};

// The models of a brand profile; any index other than 1 gives profile 0, the
// profile chosen whenever the program is not the other brand.
constexpr const BrandModels& brandModels(int profile) {
  return profile == 1 ? kBrandModels1 : kBrandModels0;
}

// Name of a model in a brand; "" for an index outside 0..2.
constexpr const char* modelName(int profile, int model) {
  return model >= 0 && model < kModelCount ? brandModels(profile).names[model] : "";
}

}  // namespace tessel
