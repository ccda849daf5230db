#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the tree: the
# programs, the brand link, the menu entries and what they point at, the
# project file type, the AppStream data and the manual pages.
# Usage: check_install.sh BUILD_DIR
set -uo pipefail
build="$1"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
prefix="$tmp/usr"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 || {
  cat "$tmp/install.log" >&2
  echo "FAIL: cmake --install" >&2
  exit 1
}

ids=(com.corvane.Tessel com.tarrowcontrols.LumaLink)
for f in bin/tessel-cli share/man/man1/tessel.1.gz share/man/man1/tessel-cli.1.gz \
         share/mime/packages/tessel.xml share/doc/tessel/copyright share/doc/tessel/changelog.gz; do
  [ -f "$prefix/$f" ] || fail "$f is not installed"
done
[ -x "$prefix/bin/tessel-cli" ] || fail "bin/tessel-cli is not executable"
for id in "${ids[@]}"; do
  for f in "share/applications/$id.desktop" "share/icons/hicolor/scalable/apps/$id.svg" \
           "share/metainfo/$id.metainfo.xml"; do
    [ -f "$prefix/$f" ] || fail "$f is not installed"
  done
done

# The window program, when it is built, with the second brand as a relative link.
if [ -e "$build/tessel" ] || [ -e "$prefix/bin/tessel" ]; then
  [ -x "$prefix/bin/tessel" ] || fail "bin/tessel is not installed"
  [ "$(readlink "$prefix/bin/lumalink")" = tessel ] || fail "bin/lumalink is no link to tessel"
  [ "$(readlink "$prefix/share/man/man1/lumalink.1.gz")" = tessel.1.gz ] ||
    fail "lumalink.1.gz is no link to tessel.1.gz"
  "$prefix/bin/lumalink" --version >/dev/null 2>&1 || fail "lumalink --version fails"
fi

# Menu entries: valid, and naming the programs, icons and type installed here.
mime_type="$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$prefix/share/mime/packages/tessel.xml")"
grep -q '<glob pattern="\*.vro"/>' "$prefix/share/mime/packages/tessel.xml" || fail "no *.vro glob"
grep -q '<comment>Radio group project</comment>' "$prefix/share/mime/packages/tessel.xml" ||
  fail "the project type has no \"Radio group project\" comment"
declare -A exec_of=([com.corvane.Tessel]=tessel [com.tarrowcontrols.LumaLink]=lumalink)
for id in "${ids[@]}"; do
  d="$prefix/share/applications/$id.desktop"
  [ -f "$d" ] || continue
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$d" || fail "$id.desktop does not validate"
  fi
  grep -qx "Exec=${exec_of[$id]} %f" "$d" || fail "$id.desktop does not run ${exec_of[$id]} %f"
  grep -qx "Icon=$id" "$d" || fail "$id.desktop names another icon"
  grep -qx "MimeType=$mime_type;" "$d" || fail "$id.desktop does not open $mime_type"
  grep -q '^Categories=..*;' "$d" || fail "$id.desktop has no Categories"
  grep -q '^Keywords=..*;' "$d" || fail "$id.desktop has no Keywords"
  m="$prefix/share/metainfo/$id.metainfo.xml"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$m" ||
    fail "$id.metainfo.xml launches another entry"
  grep -q "<binary>${exec_of[$id]}</binary>" "$m" || fail "$id.metainfo.xml names another program"
  if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$m" >"$tmp/as.log" 2>&1 || {
      cat "$tmp/as.log" >&2
      fail "$id.metainfo.xml does not validate"
    }
  fi
done

# The shared-mime-info database built from the entry knows *.vro.
if command -v update-mime-database >/dev/null; then
  update-mime-database "$prefix/share/mime" >/dev/null 2>&1 || fail "update-mime-database"
  grep -q "$mime_type:\*\.vro" "$prefix/share/mime/globs2" || fail "*.vro is not in the database"
fi

# The installed command line program runs from its new home.
version="$(HOME="$tmp" "$prefix/bin/tessel-cli" --version)" || fail "tessel-cli --version fails"
grep -q "release version=\"${version#tessel-cli }\"" "$prefix/share/metainfo/${ids[0]}.metainfo.xml" ||
  fail "the AppStream release is not $version"
HOME="$tmp" XDG_CONFIG_HOME="$tmp/.config" "$prefix/bin/tessel-cli" ports >/dev/null ||
  fail "tessel-cli ports fails"

# Manual pages: no formatting warnings, and every command and option that
# tessel-cli --help lists is described.
if command -v man >/dev/null; then
  for page in tessel tessel-cli; do
    warnings="$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null)"
    [ -z "$warnings" ] || fail "$page.1: $warnings"
  done
fi
page_text="$(zcat "$prefix/share/man/man1/tessel-cli.1.gz" | sed 's/\\-/-/g')"
for command in $("$prefix/bin/tessel-cli" --help | sed -n 's/^  tessel-cli \([a-z-]*\).*/\1/p'); do
  grep -q "^\.B $command\b" <<<"$page_text" || fail "tessel-cli.1 does not describe $command"
  for option in $("$prefix/bin/tessel-cli" "$command" --help | sed -n 's/^  \(--[a-z-]*\).*/\1/p'); do
    grep -q -- "$option" <<<"$page_text" || fail "tessel-cli.1 does not describe $option"
  done
done

[ "$failures" -eq 0 ] || exit 1
echo "install tree OK: $(cd "$prefix" && find . -type f -o -type l | wc -l) files"
