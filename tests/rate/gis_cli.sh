#!/bin/sh
# quillon-rate's GIS outputs over the sample survey, read back by GDAL's own tools: the
# GeoPackage (one feature per polygon, the rating typed as the rules declare and equal to
# the ratings for its map unit, Null kept, the legend stored as its default style) and the
# CSV's type file.
set -eu
rate=$1
sample=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
if ! command -v ogrinfo >/dev/null 2>&1; then
  [ -n "${CI:-}" ] && fail "ogrinfo (gdal-bin) is not installed"
  echo "SKIPPED: ogrinfo (gdal-bin) is not installed"; exit 0
fi
soils=$sample/sample.sqlite
shp=$sample/sample_soils.shp
polygons=$(ogrinfo -ro -so -al "$shp" | sed -n 's/^Feature Count: //p')

# Each polygon's rating in the GeoPackage is the run's rating of its map unit, Null ("") for a
# unit without one.
check_joined() {  # attribute column gpkg-type [options]
  attribute=$1 column=$2 type=$3
  shift 3
  "$rate" --soils "$soils" --attribute "$attribute" "$@" --output "$work/$column.csv" 2>/dev/null || fail "$1: CSV"
  "$rate" --soils "$soils" --attribute "$attribute" "$@" --format gpkg --layer "$shp" --output "$work/$column.gpkg" \
    2>/dev/null || fail "$attribute: GeoPackage"
  set -- "$attribute" "$column" "$type"
  info=$(ogrinfo -ro -so "$work/$2.gpkg" "$2")
  echo "$info" | grep -q "^Feature Count: $polygons\$" || fail "$1: one feature per polygon: $info"
  echo "$info" | grep -q "^Geometry: Multi Polygon" || fail "$1: polygons: $info"
  echo "$info" | grep -q "^$2: $3" || fail "$1: the rating is $3: $info"
  echo "$info" | grep -q 'ID\["EPSG",4326\]' || fail "$1: the layer's coordinate system: $info"
  ogr2ogr -f CSV "$work/$2-joined.csv" "$work/$2.gpkg" -sql "SELECT MUKEY, $2 FROM $2" || fail "$1: read back"
  # The run's ratings by mukey; every feature's value must be its unit's, empty for Null.
  awk -F, -v col="$2" 'NR == FNR { if (FNR == 1) { for (i = 1; i <= NF; i++) if ($i == col) c = i; next }
                                   rating[$2] = $c; next }
       FNR == 1 { next }
       { gsub(/"/, ""); if (!($1 in rating)) { if ($2 != "") { print "unit " $1 " not rated: " $2; bad = 1 } }
         else if (rating[$1] != $2 && rating[$1] + 0 != $2 + 0) { print $1 ": " $2 " != " rating[$1]; bad = 1 }
         if ($2 == "") nulls++; n++ }
       END { if (n == 0) bad = 1; print "features " n ", nulls " nulls + 0; exit bad }' \
    "$work/$2.csv" "$work/$2-joined.csv" > "$work/$2.compare" || fail "$1: values: $(cat "$work/$2.compare")"
}
check_joined PHY_KSAT KSAT_WA "Real" --top 0 --bottom 100
check_joined WAT_DRAIN DRAIN_DC "String"
grep -q "nulls [1-9]" "$work/DRAIN_DC.compare" || fail "the sample's polygons of units without a rating are Null"
# Without a soil layer every rating is Null: the column keeps its declared type, each value Null.
"$rate" --soils "$soils" --attribute PHY_KSAT --format gpkg --layer "$shp" --output "$work/nulls.gpkg" 2>/dev/null \
  || fail "all Null"
ogrinfo -ro -so "$work/nulls.gpkg" nulls | grep -q "^KSAT_WA: Real" || fail "an all-Null column stays Real"
ogrinfo -ro "$work/nulls.gpkg" -sql "SELECT COUNT(*) AS n FROM nulls WHERE KSAT_WA IS NULL" \
  | grep -q "n (Integer) = $polygons" || fail "every rating Null"

# The style QGIS reads: the default, made of the attribute's legend file.
styles=$(ogrinfo -ro "$work/KSAT_WA.gpkg" layer_styles)
echo "$styles" | grep -q "f_table_name (String) = KSAT_WA" || fail "style for the layer: $styles"
echo "$styles" | grep -q "useAsDefault (Integer(Boolean)) = 1" || fail "default style: $styles"
echo "$styles" | grep -q 'label="Very slow (less than 0.42)"' || fail "legend classes: $styles"
echo "$styles" | grep -q 'filter="&quot;KSAT_WA&quot; IS NOT NULL AND &quot;KSAT_WA&quot; &gt;= 0.42 AND &quot;KSAT_WA&quot; &lt; 1.4"' \
  || fail "range filter: $styles"
echo "$styles" | grep -q 'filter="&quot;KSAT_WA&quot; IS NULL"' || fail "no-data class: $styles"
[ "$(echo "$styles" | grep -c "<se:Rule>")" -eq 7 ] || fail "the SLD has a rule per legend entry: $styles"

# GDAL reads the CSV's types from its .csvt.
info=$(ogrinfo -ro -so -al "$work/KSAT_WA.csv")
echo "$info" | grep -q "^KSAT_WA: Real" || fail "CSV types: $info"
echo "$info" | grep -q "^mukey: String" || fail "CSV types: $info"

# Misuse is refused before any work, and a GeoPackage never replaces its own polygons.
set +e
"$rate" --soils "$soils" --attribute PHY_KSAT --format gpkg --output "$work/x.gpkg" 2>"$work/err"
[ $? -eq 64 ] || fail "gpkg without --layer"
"$rate" --soils "$soils" --attribute PHY_KSAT --format gpkg --layer "$shp" 2>"$work/err"
[ $? -eq 64 ] || fail "gpkg without --output"
"$rate" --soils "$soils" --attribute PHY_KSAT --layer "$shp" --output "$work/x.csv" 2>"$work/err"
[ $? -eq 64 ] || fail "--layer without gpkg"
"$rate" --soils "$soils" --attribute PHY_KSAT --format gpkg --layer "$work/none.shp" --output "$work/x.gpkg" \
  2>"$work/err"
[ $? -eq 2 ] && grep -q "none" "$work/err" || fail "a missing layer is named: $(cat "$work/err")"
cp "$sample"/sample_soils.* "$work/"
before=$(cksum < "$work/sample_soils.dbf")
"$rate" --soils "$soils" --attribute PHY_KSAT --format gpkg --layer "$work/sample_soils.shp" \
  --output "$work/sample_soils.dbf" 2>"$work/err"
[ $? -eq 64 ] || fail "a GeoPackage over the layer's table is refused"
[ "$(cksum < "$work/sample_soils.dbf")" = "$before" ] || fail "the layer is kept"
"$rate" --soils "$soils" --attribute PHY_KSAT --format gpkg --layer "$shp" --output "$work/none/x.gpkg" \
  2>"$work/err"
[ $? -eq 74 ] && grep -q "none" "$work/err" || fail "a missing folder exits 74: $(cat "$work/err")"
mkdir "$work/folder"
"$rate" --soils "$soils" --attribute PHY_KSAT --format gpkg --layer "$shp" --output "$work/folder" 2>"$work/err"
[ $? -eq 74 ] && [ -d "$work/folder" ] || fail "a folder is no GeoPackage: $(cat "$work/err")"
[ -z "$(find "$work" -mindepth 1 -maxdepth 1 -name '.*')" ] || fail "staging files left behind"
echo "PASS"
