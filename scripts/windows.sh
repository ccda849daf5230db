# The Windows build of the core and tessel-cli, and its tests under Wine,
# for ./test --windows. Sourced after scripts/setup.sh, not run.

TESSEL_WINDOWS_BUILD="${TESSEL_WINDOWS_BUILD:-$TESSEL_ROOT/build-windows}"

tessel_windows_build() {
  local launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$TESSEL_ROOT" -B "$TESSEL_WINDOWS_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$TESSEL_ROOT/cmake/mingw-w64.cmake" "${launcher[@]}" >/dev/null &&
    cmake --build "$TESSEL_WINDOWS_BUILD" -j2
}

# A Wine prefix of the build's own, made once; no display is needed for
# console programs. Its wineserver stays up for the run (each program
# starts in a fraction of a second then) and goes at the end.
tessel_wine_prefix() {
  export WINEPREFIX="$TESSEL_WINDOWS_BUILD/wine-prefix"
  export WINEDEBUG=-all
  unset DISPLAY WAYLAND_DISPLAY
  if [ ! -f "$WINEPREFIX/.tessel-prefix" ]; then
    echo "Making the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w  # the registry is on disk once the server is gone
    touch "$WINEPREFIX/.tessel-prefix"
  fi
  # A server still up from an earlier run serves this one as well.
  wineserver -p 2>/dev/null || true
  trap 'wineserver -k 2>/dev/null || true' EXIT
}

# "[  PASSED  ] N tests." of a GoogleTest program's output (skipped ones
# are not counted).
tessel_gtest_count() {
  sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$1" | tail -1
}

# Runs the unit-test programs under Wine, then the end-to-end tests of
# tessel-cli.exe against simulated radios; prints how many ran.
tessel_windows_test() {
  local out="$TESSEL_WINDOWS_BUILD/test-output" failed=0 units=0 programs=0 cases=0 n
  mkdir -p "$out"
  # The serial tests talk to simulated radios on COM8.
  local sim_out="$out/sim.out"
  "$TESSEL_BUILD/tessel-cli" sim --radios 1 --command-mode >"$sim_out" 2>"$out/sim.err" &
  local sim_pid=$!
  local device=""
  for _ in $(seq 50); do
    device="$(sed -n 's/^device: //p' "$sim_out")"
    [ -n "$device" ] && break
    sleep 0.1
  done
  if [ -z "$device" ]; then
    echo "The simulated radios did not start: $(cat "$out/sim.err")" >&2
    kill "$sim_pid" 2>/dev/null
    return 1
  fi
  ln -sfn "$device" "$WINEPREFIX/dosdevices/com8"
  while read -r program; do
    [ -n "$program" ] || continue
    local name log
    name="$(basename "$program" .exe)"
    log="$out/$name.txt"
    if TESSEL_TEST_COM=COM8 wine "$program" "$@" >"$log" 2>&1; then
      echo "  $name: $(tessel_gtest_count "$log") passed"
    else
      echo "  $name FAILED:" >&2
      grep -E '^\[  FAILED  \]|Failure' "$log" >&2 || tail -20 "$log" >&2
      failed=1
    fi
    n="$(tessel_gtest_count "$log")"
    units=$((units + ${n:-0}))
    programs=$((programs + 1))
  done <"$TESSEL_WINDOWS_BUILD/unit_tests.txt"
  kill "$sim_pid" 2>/dev/null
  wait "$sim_pid" 2>/dev/null || true

  local e2e="$out/wine_cli_tests.txt"
  if TESSEL_CLI_EXE="$TESSEL_WINDOWS_BUILD/tessel-cli.exe" \
    "$TESSEL_BUILD/tests/wine/wine_cli_tests" >"$e2e" 2>&1; then
    echo "  wine_cli_tests: $(tessel_gtest_count "$e2e") passed"
  else
    echo "  wine_cli_tests FAILED:" >&2
    grep -E '^\[  FAILED  \]|Failure' "$e2e" >&2 || tail -20 "$e2e" >&2
    failed=1
  fi
  cases="$(tessel_gtest_count "$e2e")"
  echo "Under Wine: $units unit tests in $programs programs and ${cases:-0} end-to-end cases" \
    "of tessel-cli.exe passed$([ "$failed" = 0 ] || echo "; some FAILED")" \
    "(outputs in $out)."
  return "$failed"
}
