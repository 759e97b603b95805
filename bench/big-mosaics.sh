#!/usr/bin/env bash
# Whole-process figures of ornamo-render on mosaics near the model's 65535-pixel limit: the
# time and peak resident memory of each view from the largest factor down to about 100, and of
# full-size pictures streamed to BMP and PNG, the PNG beside vips re-encoding the same file.
# Usage: bench/big-mosaics.sh [build/default] [png] (png: only the full-size PNG figures)
set -euo pipefail
build=${1:-build/default}
only=${2:-}
render=$(realpath "$build/cli/ornamo-render")
tile=$(realpath data/dlazdice/default.bmp)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Sixteen parts on a 4 x 4 grid, then one part stretched over a grid of 25 (or 11): 64000 (or
# 28160) pixels from a 40-pixel tile, 4096 placements.
{
  printf 'Sestnast\nscale: 4\nitem: 16\n'
  o=(R0 R90 R180 R270 MR0 MR90 MR180 MR270)
  for i in $(seq 0 15); do printf '%d %d 1 1 %s\n' $((i % 4)) $((i / 4)) "${o[i % 8]}"; done
  printf '\nVelky\nscale: 25\nitem: 1\n0 0 25 25 R0\n'
  printf '\nJedenast\nscale: 11\nitem: 1\n0 0 11 11 R0\n'
} > grid.hrh
# Overlapping stretched parts with gaps between them, three times, then two overlapping
# parts stretched over a grid of 25 with gaps in two corners: 64000 pixels.
printf 'Prekryv\nscale: 4\nitem: 5\n0 0 2 2 R0\n1 1 2 2 MR90\n3 0 1 3 R180\n0 3 3 1 MR0\n2 2 2 2 R270\n\n' > overlap.hrh
printf 'Dva\nscale: 25\nitem: 2\n0 0 20 20 R0\n5 5 20 20 MR90\n' >> overlap.hrh
# A 37-pixel tile and parts that reach beyond their 3 x 3 grid, four times, then a part
# beyond a grid of 21 over a stretched one: 62937 pixels.
printf 'Presah\nscale: 3\nitem: 4\n0 0 1 1 R0\n1 1 1 1 R90\n2 2 2 2 MR0\n2 0 2 1 R180\n\n' > beyond.hrh
printf 'Velky\nscale: 21\nitem: 2\n0 0 21 21 R270\n10 10 15 15 R0\n' >> beyond.hrh
# Nine parts on a 3 x 3 grid, five times, on a 263-pixel tile: 59049 placements, 63909 pixels.
printf 'Trojka\nscale: 3\nitem: 9\n' > nine.hrh
o=(R0 R90 R180 R270 MR0 MR90 MR180 MR270 R0)
for i in $(seq 0 8); do printf '%d %d 1 1 %s\n' $((i % 3)) $((i / 3)) "${o[i]}" >> nine.hrh; done
# Large tiles in all eight orientations: a 6 x 6 command and then a 5 x 5 one on an 1800-pixel
# tile (900 placements, 54000 pixels); on a 5792-pixel tile (the largest Qt reads), a 2 x 2
# command and then a 5 x 5 one (100 placements), or one part stretched over a grid of 5 (four
# placements stretched five times): 57920 pixels.
o=(R0 R90 R180 R270 MR0 MR90 MR180 MR270)
{
  printf 'Sest\nscale: 6\nitem: 36\n'
  for i in $(seq 0 35); do printf '%d %d 1 1 %s\n' $((i % 6)) $((i / 6)) "${o[i % 8]}"; done
  printf '\nPat\nscale: 5\nitem: 25\n'
  for i in $(seq 0 24); do printf '%d %d 1 1 %s\n' $((i % 5)) $((i / 5)) "${o[(i * 3) % 8]}"; done
  printf '\nDva\nscale: 2\nitem: 4\n0 0 1 1 R0\n1 0 1 1 R90\n0 1 1 1 MR0\n1 1 1 1 R180\n'
  printf '\nVelky\nscale: 5\nitem: 1\n0 0 5 5 R0\n'
} > large.hrh
python3 - <<'PY'
import struct, random
random.seed(37)
for w in (37, 263, 1800, 5792):
    h = w
    row = (w * 3 + 3) & ~3
    draw = (lambda n: bytes(random.randrange(256) for _ in range(n))) if w < 1000 else random.randbytes
    pixels = b''.join(draw(w * 3) + bytes(row - w * 3) for _ in range(h))
    header = b'BM' + struct.pack('<IHHI', 54 + len(pixels), 0, 0, 54)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    open(f'tile{w}.bmp', 'wb').write(header + info + pixels)
PY

run() { # label, then the command
  local label=$1; shift
  local out
  /usr/bin/time -o time.txt -f '%e %M' "$@" >/dev/null 2>&1 || echo "($label failed)"
  out=$(tail -1 time.txt)
  printf '| %s | %s s | %d MB |\n' "$label" "${out% *}" $(( ${out#* } / 1024 ))
}
runTimed() { # label, then the command; also the processor time of all its threads
  local label=$1; shift
  /usr/bin/time -o time.txt -f '%e %U %S %M' "$@" >/dev/null 2>&1 || echo "($label failed)"
  read -r wall user system resident < <(tail -1 time.txt)
  printf '| %s | %s s | %s s | %d MB |\n' "$label" "$wall" \
    "$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%.1f", u + s }')" $(( resident / 1024 ))
}
measure() { # label, then the arguments of ornamo-render
  local label=$1; shift
  run "$label" "$render" "$@"
}

if [ "$only" != png ]; then
  echo '| picture | time | peak resident |'
  echo '|---|---|---|'
  for f in 1600 800 400 200 100; do
    measure "64000 grid, view at factor $f" -t "$tile" -r grid.hrh --shrink $f -o v.bmp 1 1 1 2
  done
  for f in 1600 800 400 200 100; do
    measure "64000 overlapping, view at factor $f" -t "$tile" -r overlap.hrh --shrink $f -o v.bmp 1 1 1 2
  done
  for f in 1701 850 425 212 106; do
    measure "62937 odd tile, view at factor $f" -t tile37.bmp -r beyond.hrh --shrink $f -o v.bmp 1 1 1 1 2
  done
  for f in 1597 798 399 199 99; do
    measure "63909 of 59049 placements, view at factor $f" -t tile263.bmp -r nine.hrh --shrink $f -o v.bmp 1 1 1 1 1
  done
  for f in 1350 675 400 200 100; do
    measure "54000 of an 1800-pixel tile, view at factor $f" -t tile1800.bmp -r large.hrh --shrink $f -o v.bmp 1 2
  done
  for f in 1448 100; do
    measure "57920 of a 5792-pixel tile, view at factor $f" -t tile5792.bmp -r large.hrh --shrink $f -o v.bmp 3 2
    measure "57920 of a 5792-pixel tile stretched, view at factor $f" -t tile5792.bmp -r large.hrh --shrink $f -o v.bmp 3 4
  done
  measure "5792-pixel tile loaded, nothing applied" -t tile5792.bmp -r large.hrh -o v.bmp
  measure "2560 parent, 40 x 40 view" -t "$tile" -r grid.hrh -o v.bmp 1 1 1
  measure "64000 grid, 40 x 40 view" -t "$tile" -r grid.hrh -o v.bmp 1 1 1 2
  measure "28160 grid, full size to BMP (2.4 GB)" -t "$tile" -r grid.hrh --full -o full.bmp 1 1 1 3
  rm -f full.bmp
fi

# The full-size PNG of the 64000-pixel mosaic on one core and on all of them (the bytes must be
# the same), then vips decoding that file and encoding it again at our level, 6, unfiltered and
# with the Up filter on every row (ours: Up for each row equal to the one above, else none).
[ "$only" = png ] || echo
echo '| full-size PNG, 64000 pixels | time | processor time | peak resident |'
echo '|---|---|---|---|'
runTimed "ornamo-render, one core" taskset -c 0 "$render" -t "$tile" -r grid.hrh --full \
  -o one.png 1 1 1 2
runTimed "ornamo-render, $(nproc) cores" "$render" -t "$tile" -r grid.hrh --full -o full.png 1 1 1 2
cmp -s one.png full.png && same=same || same=DIFFERENT
echo "| its PNG: $(stat -c %s full.png) bytes, the $same for one core and $(nproc) | | | |"
rm -f one.png
for filter in none up; do
  runTimed "vips copy of that PNG, level 6, filter $filter" \
    vips copy full.png "again.png[compression=6,filter=$filter]"
  echo "| its PNG: $(stat -c %s again.png) bytes | | | |"
  rm -f again.png
done
