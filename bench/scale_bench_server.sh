#!/usr/bin/env bash
# The scale benchmark on a PostgreSQL server: starts a throw-away cluster (as the tests do,
# tests/support/pg_cluster.sh), loads the soils file into it with quillon-import, and runs
# quillon_scale_bench against the loaded schema. The load time is printed first.
# Usage: scale_bench_server.sh path/to/quillon_scale_bench SOILS.sqlite [bench options]
set -u
[ $# -ge 2 ] || { echo "usage: $0 path/to/quillon_scale_bench SOILS.sqlite [--threads N] [--batch N] [--save DIR]" >&2; exit 64; }
bench=$(realpath "$1") soils=$(realpath "$2")
shift 2
here=$(dirname "$(realpath "$0")")
exec "$here/../tests/support/pg_cluster.sh" bash -c '
  bench=$1 soils=$2; shift 2
  address="postgresql:///$PGDATABASE?schema=bench"
  start=$(date +%s%N)
  log=$(mktemp) || exit 1
  if ! "$(dirname "$bench")/quillon-import" "$soils" --to "$address" >"$log" 2>&1; then
    cat "$log"; rm -f "$log"; exit 1
  fi
  rm -f "$log"
  echo "loaded $soils in $(( ($(date +%s%N) - start) / 1000000 )) ms"
  exec "$bench" "$address" "$@"' scale_bench_server "$bench" "$soils" "$@"
