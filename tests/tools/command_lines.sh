#!/usr/bin/env bash
# Every program answers the usual command-line questions without a display: --help and
# --version print and exit 0; a wrong option exits 64 with one line naming it. Its manual
# page renders without warnings and describes every option --help lists.
# Usage: command_lines.sh BIN_DIR MAN_DIR VERSION PROGRAM...
set -u
bin=$1 man=$2 version=$3
shift 3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

for program in "$@"; do
  run() { "$bin/$program" "$@" > "$work/out" 2> "$work/err"; status=$?; }
  run --help
  [ $status -eq 0 ] && [ -s "$work/out" ] || fail "$program --help: status $status, $(head -c 300 "$work/err")"
  options=$(grep -oE -- '--[a-z][a-z-]+' "$work/out" | sort -u)
  run --version
  [ $status -eq 0 ] && [ "$(cat "$work/out")" = "$program $version" ] ||
    fail "$program --version: status $status, \"$(cat "$work/out" "$work/err")\""
  run --no-such-option
  [ $status -eq 64 ] && [ "$(wc -l < "$work/err")" -eq 1 ] && grep -q -- "--no-such-option" "$work/err" ||
    fail "$program --no-such-option: status $status, stderr: $(cat "$work/err")"

  page=$man/$program.1.gz
  [ -f "$page" ] || { fail "$program has no manual page $page"; continue; }
  MANWIDTH=80 man --warnings -l "$page" > "$work/page" 2> "$work/warnings"
  [ -s "$work/page" ] && [ ! -s "$work/warnings" ] || fail "man -l $page: $(cat "$work/warnings")"
  for option in $options; do
    grep -qF -- "$option" "$work/page" || fail "the manual page of $program does not describe $option"
  done
done
[ $failures -eq 0 ] && echo "$# programs answer --help, --version and a wrong option; their pages render"
exit $((failures > 0))
