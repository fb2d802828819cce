#!/usr/bin/env bash
# Starts the editor on each example layout under a virtual X server, takes a
# screenshot of the screen and checks that it shows the layout (many
# colours, not a blank or one-colour window) and that the palette lies
# wholly on the screen.
# Usage: screenshot_test.sh PATH/TO/tarnisk SOURCE_DIR OUTPUT_DIR
set -u
tarnisk="$1"; source="$2"; out="$3"
mkdir -p "$out"
failed=0; passed=0

# The palette's "width height x y" on the screen, from the window tree.
palette_geometry() {
  xwininfo -root -tree 2>/dev/null | awk '/"Palette"/ {
    split($(NF-1), size, /[x+]/); split($NF, at, /\+/); print size[1], size[2], at[2], at[3]; exit }'
}

# Prints the number of colours of the screenshot, then the palette's geometry.
shoot() {  # layout, png
  "$tarnisk" "$1" >"$out/tarnisk.log" 2>&1 &
  local pid=$! colours=0 palette=""
  for _ in $(seq 1 40); do
    sleep 0.5
    # import reads every window at its own depth (xwd -root misses the palette's).
    /usr/bin/import -window root "$2" 2>/dev/null || continue
    colours=$(/usr/bin/convert "$2" -format %k info: 2>/dev/null || echo 0)
    palette=$(palette_geometry)
    [ "$colours" -gt 30 ] && [ -n "$palette" ] && break
  done
  kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  echo "$colours $palette"
}

read -r screen_width screen_height < <(xwininfo -root | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w, h}')
for layout in "$source"/data/examples/*.msk; do
  name=$(basename "$layout" .msk)
  read -r colours width height x y < <(shoot "$layout" "$out/$name.png")
  if [ "$colours" -le 30 ]; then
    failed=$((failed + 1)); echo "FAIL: $name shows only $colours colours"
  elif [ -z "${y:-}" ] || [ "$x" -lt 0 ] || [ "$y" -lt 0 ] ||
       [ $((x + width)) -gt "$screen_width" ] || [ $((y + height)) -gt "$screen_height" ]; then
    failed=$((failed + 1))
    echo "FAIL: $name: the palette (${width:-?}x${height:-?} at ${x:-?},${y:-?}) is not wholly on the ${screen_width}x${screen_height} screen"
  else
    passed=$((passed + 1))
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
