#pragma once

#include <cstdint>
#include <vector>

namespace tessel {

// One radio as it travels to the link engine: its radio ID and model index.
struct TpollEntry {
  int32_t radio = 0;
  int32_t model = 0;
  bool operator==(const TpollEntry& o) const { return radio == o.radio && model == o.model; }
};
using TpollArray = std::vector<TpollEntry>;

}  // namespace tessel
