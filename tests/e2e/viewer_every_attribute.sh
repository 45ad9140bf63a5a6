#!/usr/bin/env bash
# Every attribute of the attribute tree rated through the window's own process button, with
# the method and options the Options tab offers at first (the soils map and the viewer as two
# real processes, offscreen). Each run gets a column of its own in MU_Data. Afterwards every
# column must hold, map unit by map unit (Null included), what quillon-rate gives for the
# options the panel showed, and the map must have drawn each column as a theme of its
# attribute. The tree must list exactly the attributes the rules display; an attribute
# without an output column must be refused with "This Interpretation is not yet supported.".
# With SCREENSHOT.png the two run under a virtual X server instead; only the dwellings
# interpretation is rated, and a picture of the map with its theme is taken.
# Usage: viewer_every_attribute.sh BIN_DIR [SCREENSHOT.png]
#        (77 when sqlite3, python3 or the X tools are missing; 1 with CI set)
set -u
bin=$(cd "$1" && pwd) shot=${2:-}
skip() { echo "SKIPPED: $*"; [ -n "${CI:-}" ] && exit 1; exit 77; }
command -v sqlite3 > /dev/null || skip "sqlite3 is not installed"
command -v python3 > /dev/null || skip "python3 is not installed"
# shellcheck source=tests/e2e/xvfb.sh
source "$(dirname "$0")/xvfb.sh"
[ -n "$shot" ] && xvfb_require import
here=$(cd "$(dirname "$0")" && pwd)
. "$here/linked_session.sh"

if [ -n "$shot" ]; then
  unset QT_QPA_PLATFORM
  xvfb_start 1100x680 "$work/xvfb.log" || fail "no virtual X server"
  extra_pids+=("$xvfb_pid")
fi
start_linked_session

rules=$data/quillon-rules.sqlite
# The attributes the tree shows: displayed ones under folders that are all displayed.
wanted=$(sqlite3 "$rules" "
  WITH RECURSIVE shown(k) AS (SELECT 'ROOT' UNION
    SELECT f.\"Key\" FROM Folders f JOIN shown ON f.ParentKey = shown.k WHERE f.DisplayFlag)
  SELECT NodeKey FROM Attributes WHERE DisplayFlag AND ParentKey IN shown ORDER BY NodeKey")
[ -n "$wanted" ] || fail "the rules display no attribute"
driver ATTRIBUTES || fail "listing the tree: $(tail -n 1 "$work/driver.log")"
tree=$(grep '^attribute: ' "$work/viewer.log" | cut -c12-)
[ "$(sort <<<"$tree")" = "$wanted" ] ||
  fail "the tree's attributes differ from the rules': $(diff <(sort <<<"$tree") - <<<"$wanted" | tr '\n' ' ')"
[ -n "$shot" ] && tree=INT_DWB

# One run per attribute; runs.tsv keeps the panel line, the column and the map's line.
boxes() { grep -c '^Quillon: ' "$work/viewer.log"; }
: > "$work/runs.tsv"
n=0 drawn=0
while read -r key; do
  n=$((n + 1))
  base=$(sqlite3 "$rules" "SELECT DBFColumn FROM Attributes WHERE NodeKey='$key'")
  # Unique, at most 10 characters, a letter first: the rules' name cut to 7, then _NN.
  column=$(printf '%s_%02d' "$(cut -c1-7 <<<"${base:-X}")" "$n")
  before=$(boxes)
  driver "PROCESS $key|$column" || fail "the process button for $key: $(tail -n 1 "$work/driver.log")"
  wait_until 600 idle || fail "the run of $key did not end"
  panel=$(grep "^panel: $key|" "$work/viewer.log" | tail -n 1)
  new=$(grep '^Quillon: ' "$work/viewer.log" | tail -n +$((before + 1)))
  if [ -z "$base" ]; then
    [[ $new == "Quillon: This Interpretation is not yet supported."* ]] && [ "$(grep -c . <<<"$new")" -eq 1 ] ||
      fail "$key has no output column, yet the run said: ${new:-nothing}"
    continue
  fi
  [ "$(grep -c . <<<"$new")" -eq 1 ] || fail "the run of $key said: ${new:-nothing}"
  if [[ $new == "Quillon: No map unit has a rating for this attribute; nothing was stored."* ]]; then
    # Then quillon-rate must rate none either, and no column may have been added.
    printf '%s\t%s\t\n' "$panel" "$column" >> "$work/runs.tsv"
    continue
  fi
  [[ $new == "Quillon: "*" will be added to the view as a temporary theme."* ]] || fail "the run of $key said: $new"
  drawn=$((drawn + 1))
  wait_until 300 eval '[ "$(grep -c "^shown: " "$work/map.log")" -ge $drawn ]' || fail "the map drew no theme for $key"
  shown=$(grep '^shown: ' "$work/map.log" | sed -n "${drawn}p")
  printf '%s\t%s\t%s\n' "$panel" "$column" "$shown" >> "$work/runs.tsv"
done <<< "$tree"
grep -q '^refused: ' "$work/map.log" && fail "the map refused a script call"

python3 "$here/check_every_attribute.py" "$bin/quillon-rate" "$rules" "$data/soils/sample.mdb" \
  "$data/soils/sample_soils.dbf" "$results" "$data/legends" "$work/runs.tsv" || fail "the stored columns or the themes"

if [ -n "$shot" ]; then
  # No window manager: the map alone on top, at its full extent, one map unit identified.
  map_window=$(xdotool search --name '^ArcView GIS' | head -n 1)
  [ -n "$map_window" ] || fail "the map's window is not shown"
  xdotool windowsize "$map_window" 1100 680 windowmove "$map_window" 0 0 windowraise "$map_window"
  sleep 1
  xdotool mousemove --window "$map_window" 170 33 click 1
  sleep 1
  xdotool mousemove --window "$map_window" 520 360 click 1
  sleep 2
  import -window "$map_window" "$shot" || fail "screenshot"
fi
end_linked_session
echo "every attribute: $drawn rated through the process button as quillon-rate rates them, each drawn by the map"
