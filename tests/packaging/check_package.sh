#!/usr/bin/env bash
# Builds the Debian package with cpack and checks its control fields and
# contents with dpkg-deb; lintian on it in CI (or with TESSEL_LINTIAN=1).
# Exits 77 (skipped) where cpack or dpkg-deb are missing.
# Usage: check_package.sh BUILD_DIR
set -uo pipefail
build="$1"
command -v cpack >/dev/null && command -v dpkg-deb >/dev/null || {
  echo "cpack or dpkg-deb missing: skipped"
  exit 77
}
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

(cd "$build" && cpack -G DEB -B "$tmp" >"$tmp/cpack.log" 2>&1) || {
  cat "$tmp/cpack.log" >&2
  echo "FAIL: cpack -G DEB" >&2
  exit 1
}
deb="$(ls "$tmp"/*.deb 2>/dev/null | head -1)"
[ -n "$deb" ] || { echo "FAIL: no .deb made" >&2; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = tessel ] || fail "Package is $(field Package)"
[ "$(field Section)" = comm ] || fail "Section is $(field Section)"
[ "$(field Priority)" = optional ] || fail "Priority is $(field Priority)"
grep -q '<.*@.*>' <<<"$(field Maintainer)" || fail "Maintainer has no address: $(field Maintainer)"
[ -n "$(field Description | sed -n 2p)" ] || fail "no long description"
# Computed from the binaries: versioned libraries the programs link.
depends="$(field Depends)"
for lib in libc6 libstdc++6; do
  grep -q "$lib (>= " <<<"$depends" || fail "Depends lacks a versioned $lib: $depends"
done
contents="$(dpkg-deb -c "$deb")"
for f in ./usr/bin/tessel-cli ./usr/share/applications/com.corvane.Tessel.desktop \
         ./usr/share/applications/com.tarrowcontrols.LumaLink.desktop \
         ./usr/share/mime/packages/tessel.xml ./usr/share/doc/tessel/copyright \
         ./usr/share/man/man1/tessel-cli.1.gz; do
  grep -q " $f\$" <<<"$contents" || fail "the package lacks $f"
done
if [ -e "$build/tessel" ]; then
  grep -q ' ./usr/bin/lumalink -> tessel$' <<<"$contents" || fail "the package lacks the lumalink link"
  grep -q 'libqt6widgets6' <<<"$depends" || fail "Depends lacks Qt: $depends"
  grep -q 'libqt6svg6' <<<"$depends" || fail "Depends lacks the SVG plugins: $depends"
fi
owners="$(awk '{print $2}' <<<"$contents" | sort -u)"
[ "$owners" = root/root ] || fail "files not owned by root: $owners"

if [ -n "${CI:-}${TESSEL_LINTIAN:-}" ] && command -v lintian >/dev/null; then
  lintian --allow-root "$deb" >"$tmp/lintian.log" 2>&1
  cat "$tmp/lintian.log"
  grep -q '^E: ' "$tmp/lintian.log" && fail "lintian reports errors"
fi

[ "$failures" -eq 0 ] || exit 1
echo "package OK: $(basename "$deb")"
