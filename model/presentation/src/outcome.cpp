#include "model/outcome.h"

namespace tessel {

const char* endingName(TaskEnd ending) {
  switch (ending) {
    case TaskEnd::Done:
      return "done";
    case TaskEnd::Refused:
      return "refused";
    case TaskEnd::NoAnswer:
      return "no answer";
    case TaskEnd::Cancelled:
      return "cancelled";
    case TaskEnd::LinkLost:
      return "link lost";
    case TaskEnd::LineLost:
      return "line lost";
    case TaskEnd::NotStarted:
      return "not started";
    case TaskEnd::TimedOut:
      return "timed out";
    case TaskEnd::Interrupted:
      return "interrupted";
  }
  return "?";
}

}  // namespace tessel
