#!/usr/bin/env bash
# Starts the editor on each example layout under a virtual X server, takes a
# screenshot of the screen and checks that it shows the layout: many colours,
# not a blank or one-colour window.
# Usage: screenshot_test.sh PATH/TO/tarnisk SOURCE_DIR OUTPUT_DIR
set -u
tarnisk="$1"; source="$2"; out="$3"
mkdir -p "$out"
failed=0; passed=0

shoot() {  # layout, png
  "$tarnisk" "$1" >"$out/tarnisk.log" 2>&1 &
  local pid=$! colours=0
  for _ in $(seq 1 40); do
    sleep 0.5
    xwd -root -silent | /usr/bin/convert xwd:- "$2" 2>/dev/null || continue
    colours=$(/usr/bin/convert "$2" -format %k info: 2>/dev/null || echo 0)
    [ "$colours" -gt 30 ] && break
  done
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  echo "$colours"
}

for layout in "$source"/data/examples/*.msk; do
  name=$(basename "$layout" .msk)
  colours=$(shoot "$layout" "$out/$name.png")
  if [ "$colours" -gt 30 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1)); echo "FAIL: $name shows only $colours colours"
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
