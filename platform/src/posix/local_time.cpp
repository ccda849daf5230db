#include "platform/local_time.h"

namespace tessel::platform {

std::tm localTime(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  return local;
}

}  // namespace tessel::platform
