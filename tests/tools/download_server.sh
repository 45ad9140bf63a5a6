#!/bin/sh
# A survey download sent straight to a server schema (PGHOST and friends, as pg_cluster.sh
# sets them) holds what the file import holds: a few attributes of different kinds rate to
# the same bytes on both.
# Usage: download_server.sh QUILLON_IMPORT QUILLON_RATE DOWNLOAD
set -eu
import=$1
rate=$2
download=$3
[ -f "$download/tabular/mstab.txt" ] || { echo "SKIPPED: $download not found"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

address="postgresql:///${PGDATABASE:-quillon}?schema=download"
"$import" "$download" --output "$work/survey.sqlite" 2>"$work/err" || { cat "$work/err"; fail "import to a file"; }
"$import" "$download" --to "$address" 2>"$work/err" || { cat "$work/err"; fail "import to $address"; }

for run in "PHY_AWC --top 0 --bottom 100" "PHY_CLAY --method 3 --top 0 --bottom 50" "WAT_HYDGRP" \
           "MU_NAME" "CHM_PH --method 4 --top 0 --bottom 25"; do
  # shellcheck disable=SC2086
  "$rate" --soils "$work/survey.sqlite" --attribute $run --format csv >"$work/file.csv" 2>"$work/err" \
    || { cat "$work/err"; fail "$run on the file"; }
  # shellcheck disable=SC2086
  "$rate" --soils "$address" --attribute $run --format csv >"$work/server.csv" 2>"$work/err" \
    || { cat "$work/err"; fail "$run on the server"; }
  [ "$(wc -l <"$work/file.csv")" -gt 1 ] || fail "$run rated nothing on the file"
  cmp -s "$work/file.csv" "$work/server.csv" || { diff "$work/file.csv" "$work/server.csv" | head; fail "$run differs"; }
done
echo "the download on the server rates as the file does"
