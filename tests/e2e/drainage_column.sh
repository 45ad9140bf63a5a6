# shellcheck shell=bash
# Sourced by the end-to-end scripts that need a stored rating for the map to draw.

# write_drainage_column BIN SOILS RULES RESULTS: quillon-rate's dominant drainage class of
# each map unit of SOILS into the column DRAIN_DC of MU_Data in RESULTS, as the process
# button stores it; map units MU_Data lacks are added. Non-zero when either step fails.
write_drainage_column() {
  local bin=$1 soils=$2 rules=$3 results=$4 csv status=1
  csv=$(mktemp --suffix=.csv) || return 1
  if "$bin/quillon-rate" --soils "$soils" --rules "$rules" --attribute WAT_DRAIN --method "Dominant Condition" \
    --format csv > "$csv"; then
    sqlite3 "$results" <<SQL && status=0
.import --csv $csv rating
ALTER TABLE MU_Data ADD DRAIN_DC TEXT;
UPDATE MU_Data SET DRAIN_DC = (SELECT NULLIF(r.DRAIN_DC, '') FROM rating r WHERE r.mukey = MU_Data.mukey);
INSERT INTO MU_Data (mukey, musym, DRAIN_DC)
  SELECT mukey, musym, NULLIF(DRAIN_DC, '') FROM rating WHERE mukey NOT IN (SELECT mukey FROM MU_Data);
DROP TABLE rating;
SQL
  fi
  rm -f "$csv"
  return $status
}
