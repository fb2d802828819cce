#!/usr/bin/env bash
# Makes the pictures of the user's guide (data/help/images) with the batch
# tool's own renderer, so that they show what the editor draws.
# Usage: tools/help_pictures.sh [PATH/TO/tarnisk-cli]   (default: the release tree's)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${1:-$root/build/release/app/tarnisk-cli}
out=$root/data/help/images
examples=$root/data/examples
rules=$root/data/es207.rul
mkdir -p "$out"
tool() { "$cli" "$@" --rules "$rules" --quiet >/dev/null; }

tool render "$examples/inverter.msk" -o "$out/inverter.png" --size 560x420
tool render "$examples/inverter.msk" -o "$out/inverter-mono.png" --size 560x420 --mono
tool render "$examples/ring5.msk" -o "$out/ring5.png" --size 760x300
tool render "$examples/nand2.msk" -o "$out/nand2-zoom.png" --size 560x420 --window 0,20,30,45

# The inverter with one mistake: a metal strip 2 lambda wide, where the
# rules ask for 3. The checker finds it (exit status 1) and zooms on it.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
sed 's/^FFIG/REC(70,20,2,12,ME)\r\nFFIG/' "$examples/inverter.msk" >"$scratch/mistake.msk"
status=0
"$cli" drc "$scratch/mistake.msk" --rules "$rules" --quiet --png "$out/drc.png" >/dev/null || status=$?
[ "$status" -eq 1 ] || { echo "the checker should have found the mistake" >&2; exit 1; }

tool simulate "$examples/inverter.msk" --length 20 --points 600 --png "$out/inverter-waves.png"
tool simulate "$examples/ring5.msk" --length 20 --points 600 --watch out --freq \
  --png "$out/ring5-waves.png"
tool simulate "$examples/inverter.msk" --mode dc --points 400 --png "$out/inverter-dc.png"
echo "pictures written to $out"
