#!/usr/bin/env bash
# Loads the sample survey into a schema of the running server (PGHOST and friends, as
# pg_cluster.sh sets them) and runs the rating matrix on the file and on the server:
# every output must be byte for byte the same.
# Usage: server_rate_matrix.sh QUILLON_IMPORT QUILLON_RATE RULES SOILS
set -u
import=$1 rate=$2 rules=$3 soils=$4
address="postgresql:///${PGDATABASE:-quillon}?schema=sample"
"$import" "$soils" --to "$address" 2>/dev/null || { echo "FAIL: $import $soils --to $address"; exit 1; }
exec "$(dirname "$0")/rate_matrix.sh" "$rate" "$rules" "$soils" "$address"
