#pragma once

#include <ctime>

namespace tessel::platform {

// t as a calendar time of the local time zone (the form of localtime that
// threads may call at once).
std::tm localTime(std::time_t t);

}  // namespace tessel::platform
