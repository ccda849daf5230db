#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ (clang, with AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each for a bounded time on its
# corpus in fuzz/corpus/<target>/.
#   fuzz/run.sh [SECONDS_EACH] [TARGET...]
# A crash stops the run with the failing input saved in build-fuzz/artifacts/;
# copy it into fuzz/corpus/<target>/ (and a test where sensible) once mended.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds=${1:-20}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(reply_lines dump_line at_command ini_file project_records telnet)

source "$root/scripts/setup.sh"
TESSEL_PACKAGES=(clang cmake make)
tessel_install

build="$root/build-fuzz"
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CXX=clang++ CC=clang cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTESSEL_FUZZ=ON -DTESSEL_BUILD_TESTS=OFF -DTESSEL_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined" \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"

mkdir -p "$build/artifacts"
status=0
for t in "${targets[@]}"; do
  work="$build/work/$t"  # inputs found this run; the kept corpus stays as it is
  rm -rf "$work" && mkdir -p "$work" "$root/fuzz/corpus/$t"
  log="$build/$t.log"
  echo "== fuzz_$t for ${seconds}s"
  if ! "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
      -rss_limit_mb=2048 -artifact_prefix="$build/artifacts/$t-" \
      "$work" "$root/fuzz/corpus/$t" >"$log" 2>&1; then
    echo "fuzz_$t FAILED; its log: $log"
    grep -E "ERROR|SUMMARY|Test unit written" "$log" | head -5
    status=1
    continue
  fi
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  cov=$(grep -E "^#[0-9]+.*(DONE|pulse|NEW)" "$log" | tail -1 | sed -n 's/.*cov: \([0-9]*\).*/\1/p')
  echo "fuzz_$t: $execs executions, $rate per second, coverage $cov, no crash"
done
exit "$status"
