# Shared set-up of ./run and ./test: install the Debian packages that are
# missing, then configure and build into build/. Sourced, not run.

TESSEL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
TESSEL_BUILD="${TESSEL_BUILD:-$TESSEL_ROOT/build}"
TESSEL_PACKAGES=(g++ cmake make pkg-config libgtest-dev libgmock-dev libbenchmark-dev
                 # network serial ports: Telnet with port control, and the device
                 # server the tests run
                 libtelnet-dev ser2net
                 qt6-base-dev qt6-svg-dev qt6-charts-dev
                 # the monitor's /metrics endpoint, and the monitoring server
                 # (prometheus, promtool) its tests scrape it with
                 libcivetweb-dev prometheus
                 # the install and package checks: menu entries, AppStream data,
                 # the project file type, manual pages, the .deb's dependencies
                 desktop-file-utils appstream shared-mime-info man-db dpkg-dev file
                 # the locale sources a test generates a decimal-comma locale from
                 locales)
# lintian is large and slow: CI alone checks the package with it.
if [ -n "${CI:-}" ]; then
  TESSEL_PACKAGES+=(lintian)
fi
# The Windows build and its tests (./test --windows): the cross compiler
# with POSIX threads, and Wine to run what it builds.
if [ -n "${TESSEL_WINDOWS:-}" ]; then
  TESSEL_PACKAGES+=(g++-mingw-w64-x86-64-posix wine wine64)
fi

tessel_missing_packages() {
  local p missing=()
  for p in "${TESSEL_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  echo "${missing[@]}"
}

tessel_install() {
  local missing
  missing="$(tessel_missing_packages)"
  [ -z "$missing" ] && return 0
  echo "Installing missing packages: $missing"
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
      sudo apt-get update && sudo DEBIAN_FRONTEND=noninteractive apt-get install -y $missing
    else
      echo "These Debian packages are missing: $missing" >&2
      echo "Install them as root, then run this again:" >&2
      echo "  sudo apt-get update && sudo apt-get install -y $missing" >&2
      return 1
    fi
  else
    apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y $missing
  fi
}

tessel_build() {
  # ccache, when the machine has it, makes rebuilds in several build folders cheap.
  # TESSEL_CMAKE_ARGS adds configure options (a sanitizer build, say);
  # TESSEL_TARGETS limits the build to those targets.
  local launcher=() targets=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  if [ -n "${TESSEL_TARGETS+x}" ] && [ ${#TESSEL_TARGETS[@]} -gt 0 ]; then
    targets=(--target "${TESSEL_TARGETS[@]}")
  fi
  cmake -S "$TESSEL_ROOT" -B "$TESSEL_BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" \
    ${TESSEL_CMAKE_ARGS+"${TESSEL_CMAKE_ARGS[@]}"} >/dev/null &&
    cmake --build "$TESSEL_BUILD" -j2 "${targets[@]}"
}
