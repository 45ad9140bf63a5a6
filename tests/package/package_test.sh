#!/usr/bin/env bash
# Packs the build tree with `cpack -G DEB`, installs the package with apt-get, starts the
# programs from /usr/bin as a new user would, purges the package and checks that nothing of
# it is left. Skips (77) without root, apt or dpkg-shlibdeps, or when a quillon package is
# already installed (it is not ours to replace).
# Usage: package_test.sh BUILD_DIR WORK_DIR PRIVATE_LIBRARY_DIR START_PROGRAMS
set -u
build=$1 work=$2 libraries=$3 start_programs=$4
skip() { echo "SKIPPED: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
[ "$(id -u)" -eq 0 ] || skip "installing a package needs root"
for tool in apt-get dpkg-deb dpkg-shlibdeps; do
  command -v "$tool" > /dev/null || skip "$tool is not installed"
done
dpkg-query -W -f='${Status}' quillon 2>/dev/null | grep -q "install ok installed" &&
  skip "a quillon package is installed already"

rm -rf "$work" && mkdir -p "$work"
installed=
cleanup() {
  [ -n "$installed" ] && DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quillon > /dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" > "$work/cpack.log" 2>&1 ||
  fail "cpack: $(tail -n 30 "$work/cpack.log")"
deb=$(ls "$work"/quillon_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "cpack made no quillon_*.deb: $(tail -n 30 "$work/cpack.log")"
dpkg-deb -f "$deb" Depends | grep -q "libqt6widgets6" || fail "the package depends on no Qt: $(dpkg-deb -f "$deb" Depends)"

installed=yes
(cd "$work" && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "./$(basename "$deb")") > "$work/apt.log" 2>&1 ||
  fail "apt-get install: $(tail -n 30 "$work/apt.log")"
dpkg-query -L quillon | sort > "$work/files"
if command -v appstreamcli > /dev/null; then
  appstreamcli validate --no-net /usr/share/metainfo/com.kelvaro.Quillon.metainfo.xml > "$work/appstream" 2>&1 ||
    fail "appstreamcli validate: $(cat "$work/appstream")"
fi
if command -v desktop-file-validate > /dev/null; then
  desktop-file-validate /usr/share/applications/com.kelvaro.Quillon*.desktop ||
    fail "desktop-file-validate found faults in the menu entries"
fi

"$start_programs" /usr/bin "$libraries" || fail "the installed programs"

DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quillon > "$work/purge.log" 2>&1 ||
  fail "apt-get purge: $(tail -n 30 "$work/purge.log")"
installed=
dpkg-query -W quillon > /dev/null 2>&1 && fail "dpkg still knows the package after the purge"
left=()
while read -r path; do
  # Shared folders (/usr/bin, /usr/share/man/man1, ...) stay; the package's own must not.
  if [ -d "$path" ] && [ ! -L "$path" ]; then
    case $path in */quillon|*/quillon/*|*/Quillon) left+=("$path") ;; esac
  elif [ -e "$path" ] || [ -L "$path" ]; then
    left+=("$path")
  fi
done < "$work/files"
[ ${#left[@]} -eq 0 ] || fail "left after the purge: ${left[*]}"
echo "packed, installed, started and purged $(basename "$deb")"
