#!/usr/bin/env bash
# Only the platform layer and serial/ speak to the system: every other
# layer, the window (ui/, app/) included, includes the C++ standard library,
# Qt and the project's own headers, nothing of POSIX or Win32. Lists what
# breaks the rule and fails; prints the system headers each part includes.
set -uo pipefail
root="${1:-$(cd "$(dirname "$0")/../.." && pwd)}"
cd "$root"

std_headers="algorithm any array atomic bitset cassert cctype cerrno cfloat charconv chrono
cinttypes climits clocale cmath codecvt complex condition_variable csetjmp csignal cstdarg
cstddef cstdint cstdio cstdlib cstring ctime cwchar cwctype deque exception execution filesystem
forward_list fstream functional future initializer_list iomanip ios iosfwd iostream istream
iterator limits list locale map memory mutex new numeric optional ostream queue random ratio
regex scoped_allocator set shared_mutex sstream stack stdexcept streambuf string string_view
system_error thread tuple type_traits typeindex typeinfo unordered_map unordered_set utility
valarray variant vector"
# Libraries of features the Windows build leaves out, in the one file each
# that wraps them.
std_headers=$(echo $std_headers)  # one line, blanks between
libraries="civetweb.h"
# The monitor's HTTP endpoint serves through POSIX sockets; it is not built
# for Windows (TESSEL_METRICS) and keeps its calls as they are.
exceptions="metrics/src/metrics_server.cpp"

allowed() {
  local h=$1
  case " $std_headers $libraries " in *" $h "*) return 0 ;; esac
  case "$h" in Q* | Qt* | qt*/*) return 0 ;; esac  # Qt
  return 1
}

status=0
for part in seams model link sim metrics cli qtglue ui app; do
  [ -d "$part" ] || continue
  found=""
  while IFS= read -r line; do
    file=${line%%:*}
    header=$(sed -n 's/.*#include <\([^>]*\)>.*/\1/p' <<<"$line")
    allowed "$header" && continue
    case " $exceptions " in *" $file "*) continue ;; esac
    found+="$file: <$header>"$'\n'
  done < <(grep -rHE '^\s*#\s*include\s*<' "$part" --include='*.cpp' --include='*.h')
  if [ -n "$found" ]; then
    echo "$part/ includes system headers:"
    printf '%s' "$found"
    status=1
  else
    echo "$part/: no system header"
  fi
done
exit $status
