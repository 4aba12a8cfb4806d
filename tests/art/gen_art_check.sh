#!/usr/bin/env bash
# Checks the artwork that tools/gen-art.cpp writes: the file headers are read
# byte by byte here, the pictures are decoded by ImageMagick, and the decoded
# pixels are held against both the generator's own drawing (its --pam output,
# which never goes through the ICO/BMP encoder) and facts that follow from the
# design: frame, transparent corners, identical tiles, ramp direction.
#
#   tests/art/gen_art_check.sh [GEN_ART_EXECUTABLE]
#
# Without an argument the generator is compiled from source with g++.
set -u

here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ $# -ge 1 ]; then
    gen=$1
else
    gen=$work/gen-art
    g++ -std=c++17 -O2 -Wall -Wextra -o "$gen" "$here/../../tools/gen-art.cpp" || exit 1
fi
command -v convert >/dev/null && command -v identify >/dev/null || { echo "gen_art_check: ImageMagick is missing"; exit 1; }

passed=0
failed=0
check() {  # check NAME ACTUAL EXPECTED
    if [ "$2" = "$3" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL $1: got '$2', expected '$3'"
    fi
}

# Little-endian unsigned integer of $3 bytes at offset $2 of file $1.
le() {
    od -An -tu1 -j "$2" -N "$3" "$1" | awk '{ for (i = 1; i <= NF; i++) b[n++] = $i }
        END { v = 0; for (i = n - 1; i >= 0; i--) v = v * 256 + b[i]; print v }'
}

# ---- command line --------------------------------------------------------
"$gen" >/dev/null 2>"$work/err"; rc=$?
check "no folder: exit code" "$([ $rc -ne 0 ] && echo nonzero)" nonzero
check "no folder: one-line message" "$(wc -l <"$work/err")" 1
"$gen" "$work/missing/folder" >/dev/null 2>"$work/err"; rc=$?
check "unwritable folder: exit code" "$([ $rc -ne 0 ] && echo nonzero)" nonzero
check "unwritable folder: one-line message" "$(wc -l <"$work/err")" 1

mkdir -p "$work/a" "$work/b"
"$gen" --pam "$work/a" || { echo "gen_art_check: generator failed"; exit 1; }
"$gen" "$work/b"
for f in pallodex.ico about.bmp; do
    check "$f is the same on every run" "$(cmp -s "$work/a/$f" "$work/b/$f" && echo same)" same
done
ico=$work/a/pallodex.ico
bmp=$work/a/about.bmp

# ---- ICO structure ---------------------------------------------------------
# A 4-bpp icon image: header, 16 RGBQUADs, colour rows padded to 4 bytes, then
# the 1-bpp mask rows padded to 4 bytes.
dib_size() { echo $((40 + 16 * 4 + (($1 * 4 + 31) / 32 * 4) * $1 + (($1 + 31) / 32 * 4) * $1)); }
s32=$(dib_size 32)
s16=$(dib_size 16)
check "ICONDIR reserved/type/count" "$(le "$ico" 0 2) $(le "$ico" 2 2) $(le "$ico" 4 2)" "0 1 2"
off=38  # 6-byte ICONDIR, two 16-byte entries
for entry in "32 $s32" "16 $s16"; do
    set -- $entry
    e=$((6 + 16 * ($1 == 32 ? 0 : 1)))
    check "entry $1: width height colours reserved" \
        "$(le "$ico" $e 1) $(le "$ico" $((e + 1)) 1) $(le "$ico" $((e + 2)) 1) $(le "$ico" $((e + 3)) 1)" "$1 $1 16 0"
    check "entry $1: planes bits size offset" \
        "$(le "$ico" $((e + 4)) 2) $(le "$ico" $((e + 6)) 2) $(le "$ico" $((e + 8)) 4) $(le "$ico" $((e + 12)) 4)" "1 4 $2 $off"
    check "image $1: header size, width, doubled height, planes, bits, compression" \
        "$(le "$ico" $off 4) $(le "$ico" $((off + 4)) 4) $(le "$ico" $((off + 8)) 4) $(le "$ico" $((off + 12)) 2) $(le "$ico" $((off + 14)) 2) $(le "$ico" $((off + 16)) 4)" \
        "40 $1 $(($1 * 2)) 1 4 0"
    check "image $1: image size (colour rows and mask), colours used" \
        "$(le "$ico" $((off + 20)) 4) $(le "$ico" $((off + 32)) 4 | sed 's/^16$/0/')" "$(($2 - 40 - 64)) 0"
    off=$((off + $2))
done
check "ICO file size" "$(stat -c %s "$ico")" "$off"

# ---- BMP structure ---------------------------------------------------------
check "BMP magic" "$(head -c 2 "$bmp")" BM
check "BMP file size field and real size" "$(le "$bmp" 2 4) $(stat -c %s "$bmp")" \
    "$((14 + 40 + 64 + 16 * 32)) $((14 + 40 + 64 + 16 * 32))"
check "BMP pixel offset" "$(le "$bmp" 10 4)" $((14 + 40 + 64))
check "BMP header size, width, height (bottom-up), planes, bits, BI_RGB" \
    "$(le "$bmp" 14 4) $(le "$bmp" 18 4) $(le "$bmp" 22 4) $(le "$bmp" 26 2) $(le "$bmp" 28 2) $(le "$bmp" 30 4)" \
    "40 32 32 1 4 0"
check "BMP image size, colours used" "$(le "$bmp" 34 4) $(le "$bmp" 46 4 | sed 's/^16$/0/')" "$((16 * 32)) 0"

# ---- what ImageMagick reads ------------------------------------------------
check "ICO frames as ImageMagick reads them" "$(identify -format '%m %wx%h %z|' "$ico")" "ICO 32x32 4|ICO 16x16 4|"
check "BMP as ImageMagick reads it" "$(identify -format '%wx%h %z %r' "$bmp")" "32x32 4 PseudoClass sRGB "
check "BMP colour map entries" "$(identify -verbose "$bmp" | sed -n 's/^ *Colormap entries: //p')" 16

# The encoded pictures must decode to exactly the pixels the generator drew:
# this is what catches swapped nibbles, upside-down rows, BGR/RGB mix-ups and a
# misplaced or inverted mask.
same_pixels() { cmp -s <(convert "$1" -depth 8 rgba:-) <(convert "$2" -depth 8 rgba:-) && echo same; }
check "32x32 frame decodes to the drawing" "$(same_pixels "$ico[0]" "$work/a/icon32.pam")" same
check "16x16 frame decodes to the drawing" "$(same_pixels "$ico[1]" "$work/a/icon16.pam")" same
check "about.bmp decodes to the drawing" "$(same_pixels "$bmp" "$work/a/about.pam")" same

# ---- the design, read back through ImageMagick ------------------------------
# Pixel colour as RRGGBBAA.
dump() { convert "$1" -alpha set -depth 8 txt:- | sed -n 's/^\([0-9]*,[0-9]*\):.*#\([0-9A-F]\{8\}\).*/\1 \2/p' >"$2"; }
px() { awk -v k="$2,$3" '$1 == k { print $2 }' "$1"; }
dump "$ico[0]" "$work/i32.txt"
dump "$ico[1]" "$work/i16.txt"
dump "$bmp" "$work/about.txt"

# Ramp position of the icon's sunset colours: navy, purple, red, yellow.
rank() { case $1 in 000080FF) echo 0 ;; 800080FF) echo 1 ;; FF0000FF) echo 2 ;; FFFF00FF) echo 3 ;; *) echo "?$1" ;; esac; }

for entry in "32 i32 15 2,0:1,0:0,0:0,1 3" "16 i16 7 1,0:0,0:0,1 1"; do
    set -- $entry
    n=$1 f=$work/$2.txt tile=$3 last=$(($1 - 1))
    # Corners: row r loses cut[r] pixels at each end; cut is (2, 1) at 32, (1) at 16.
    expected_clear=$(for x in $(seq 0 $last); do for y in $(seq 0 $last); do
        cx=$((x < n / 2 ? x : last - x)) cy=$((y < n / 2 ? y : last - y))
        if [ "$n" = 32 ]; then
            { [ $cy = 0 ] && [ $cx -lt 2 ]; } || { [ $cy = 1 ] && [ $cx -lt 1 ]; } && echo "$x,$y"
        else
            [ $cy = 0 ] && [ $cx = 0 ] && echo "$x,$y"
        fi
    done; done | sort)
    check "$n: transparent pixels are the rounded corners" \
        "$(awk '$2 ~ /00$/ { print $1 }' "$f" | sort | tr '\n' ' ')" "$(echo "$expected_clear" | tr '\n' ' ')"
    check "$n: every other pixel is opaque" "$(awk '$2 !~ /00$/ && $2 !~ /FF$/' "$f" | wc -l)" 0
    border=$(awk -v l=$last '{ split($1, c, ","); if ((c[1] == 0 || c[2] == 0 || c[1] == l || c[2] == l) && $2 !~ /00$/) print $2 }' "$f" | sort -u)
    check "$n: the outer edge is a black frame" "$border" 000000FF
    # The 2x2 copies of the tile inside the frame are identical, except where
    # the rounded frame bites into their outer corners (at 32 only).
    corners=$([ $n = 32 ] && echo "1,1 $((last - 1)),1 1,$((last - 1)) $((last - 1)),$((last - 1))")
    for c in $corners; do
        check "$n: rounded frame pixel at $c" "$(px "$f" ${c%,*} ${c#*,})" 000000FF
    done
    check "$n: the four tiles are identical" "$(awk -v t=$tile -v l=$last -v skip=" $corners " '{
            split($1, c, ","); x = c[1]; y = c[2]
            if (x < 1 || y < 1 || x >= l || y >= l || index(skip, " " $1 " ")) next
            k = ((x - 1) % t) "," ((y - 1) % t); n++
            if (k in v) { if (v[k] != $2) bad++ } else v[k] = $2
        } END { print n " pixels, " bad + 0 " differ" }' "$f")" "$((4 * tile * tile - $(echo $corners | wc -w))) pixels, 0 differ"
    # Where the wave crosses zero (tile column 0) the bands run from the first
    # ramp colour at the tile's top to the last at its bottom.
    x=$((1 + tile))
    check "$n: tile top at the wave's zero" "$(rank "$(px "$f" $x 1)")" 0
    check "$n: tile bottom at the wave's zero" "$(rank "$(px "$f" $x $tile)")" 3
    # The wave rises in the first half of the tile: at mid height, a quarter of
    # the way across is further along the ramp than three quarters across.
    y=$((1 + tile + tile / 2))
    a=$(rank "$(px "$f" $((1 + tile / 4)) $y)") b=$(rank "$(px "$f" $((1 + tile * 3 / 4)) $y)")
    check "$n: wave phase (left quarter further along than right)" "$([ "$a" -gt "$b" ] 2>/dev/null && echo yes || echo "$a<=$b")" yes
done

# about.bmp: black edge, a frame lit from the top left, sea-coloured tiles
# (8 wide, 12 tall, 3x2 copies) inside starting at (4, 4).
f=$work/about.txt
check "about: black outer edge" "$(px "$f" 0 0) $(px "$f" 31 31) $(px "$f" 15 0)" "000000FF 000000FF 000000FF"
check "about: frame lit top left, shaded bottom right" "$(px "$f" 1 15) $(px "$f" 30 15)" "FFFF00FF 808000FF"
check "about: tile top and bottom at the wave's zero" "$(px "$f" 4 4) $(px "$f" 4 15)" "000080FF FFFFFFFF"
ref=$(convert "$bmp" -crop 8x12+4+4 +repage -depth 8 rgb:- | md5sum)
for o in 12+4 20+4 4+16 12+16 20+16; do
    check "about: tile at +$o repeats the first" "$(convert "$bmp" -crop 8x12+$o +repage -depth 8 rgb:- | md5sum)" "$ref"
done

echo "gen_art: $passed passed, $failed failed"
[ "$failed" = 0 ]
