#!/usr/bin/env bash
# Builds the Debian package from a build folder, unpacks it into a fresh folder, and checks
# that the installed program runs, its manual page renders without warnings, and the package
# names the libraries it needs.
#
#   package_test.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/pkg" >/dev/null)
deb=$(ls "$work"/pkg/quorvik_*_amd64.deb)
dpkg -x "$deb" "$work/root"

fail() { echo "package_test: $*" >&2; exit 1; }

version=$("$work/root/usr/bin/quorvik" --version)
[ "$version" = "quorvik $(dpkg-deb -f "$deb" Version)" ] || fail "--version printed '$version'"
# The usage text ends the program with 255, as every usage message does.
help=$("$work/root/usr/bin/quorvik" --help 2>&1 || true)
case $help in *--mssqlp=*) ;; *) fail "--help shows no options" ;; esac

page=$work/root/usr/share/man/man1/quorvik.1
[ -f "$page" ] || fail "no manual page"
warnings=$(man --warnings -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "manual page warnings: $warnings"
man -l "$page" 2>/dev/null | grep -q "QUORVIK_MSSQLP" || fail "manual page lacks the environment"

[ -f "$work/root/usr/share/bash-completion/completions/quorvik" ] || fail "no bash completion"
for doc in README.md copyright; do
  [ -f "$work/root/usr/share/doc/quorvik/$doc" ] || fail "no $doc under share/doc"
done
# The wizard, where this build has it: its manual page and desktop entry come with it.
if [ -x "$work/root/usr/bin/talvex" ]; then
  page=$work/root/usr/share/man/man1/talvex.1
  [ -f "$page" ] || fail "no manual page for talvex"
  warnings=$(man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "talvex manual page warnings: $warnings"
  [ -f "$work/root/usr/share/applications/talvex.desktop" ] || fail "no desktop entry"
  depends=$(dpkg-deb -f "$deb" Depends)
  case $depends in *libqt6widgets6*) ;; *) fail "Depends lacks Qt 6 Widgets: $depends" ;; esac
fi
depends=$(dpkg-deb -f "$deb" Depends)
for library in libicu libsybdb5 libstdc++6; do
  case $depends in *"$library"*) ;; *) fail "Depends lacks $library: $depends" ;; esac
done
echo "package_test: $(basename "$deb") $(stat -c %s "$deb") bytes; Depends: $depends"
