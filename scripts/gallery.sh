#!/usr/bin/env bash
# The gallery: every preset rendered tiled 2x2 to docs/gallery/NAME.png, and
# the README's gallery section (between the two marker lines) listing them in
# the order of presets/descriptions.tsv (NAME, a tab, a one-line description),
# and the README's moving wallpaper: one preset's loop, tiled 2x2, as an
# animated GIF (docs/gallery/LOOP-loop.gif).
#
#   scripts/gallery.sh RENDERER           write the pictures and the section
#   scripts/gallery.sh --check RENDERER   render again elsewhere and fail if a
#                                         picture or the section differs
#
# The PNG bytes are compared as they are: the encoder is deterministic and
# its bytes do not depend on the thread count, so the same engine and the
# same zlib give the same files on every machine. The GIF needs no zlib.
set -euo pipefail

check=0
if [ "${1:-}" = --check ]; then check=1; shift; fi
if [ $# -ne 1 ]; then
    echo "usage: scripts/gallery.sh [--check] PALLODEX_RENDER" >&2
    exit 2
fi
render=$1
root=$(cd "$(dirname "$0")/.." && pwd)
table=$root/presets/descriptions.tsv
gallery=$root/docs/gallery
readme=$root/README.md
begin='<!-- gallery begin: written by make gallery from presets/descriptions.tsv -->'
end='<!-- gallery end -->'
max_bytes=4000000
columns=3
# A loop of few colours, so that the GIF holds them exactly.
loop_preset=ember
loop_args=(--animate scroll-xy --frames 60 --delay 50 --tile 2x2)
loop_max_bytes=2000000

fail() { echo "gallery: $*" >&2; exit 1; }

# The table names every preset exactly once, and nothing else.
names=()
while IFS=$'\t' read -r name description rest; do
    [ -n "$name" ] || fail "an empty line in $table"
    [ -z "${rest:-}" ] || fail "$name: more than two columns in $table"
    [ -n "${description:-}" ] || fail "$name: no description in $table"
    [[ $description != *'|'* ]] || fail "$name: a '|' would break the gallery table"
    [ -f "$root/presets/$name.txt" ] || fail "$name: no presets/$name.txt"
    names+=("$name")
done < "$table"
[ ${#names[@]} -gt 0 ] || fail "no presets in $table"
for file in "$root"/presets/*.txt; do
    name=$(basename "$file" .txt)
    [ "$(printf '%s\n' "${names[@]}" | grep -cx -- "$name")" = 1 ] || fail "$name: not once in $table"
done

section() {
    echo "$begin"
    echo
    local header="" rule="" i=0 row=""
    for ((i = 0; i < columns; i++)); do header+="| "; rule+="|:-:"; done
    echo "$header|"
    echo "$rule|"
    i=0
    while IFS=$'\t' read -r name description; do
        row+="| <img src=\"docs/gallery/$name.png\" width=\"256\" alt=\"$name\"><br>**$name**<br>$description "
        i=$((i + 1))
        if [ $((i % columns)) = 0 ]; then echo "$row|"; row=""; fi
    done < "$table"
    if [ -n "$row" ]; then
        while [ $((i % columns)) != 0 ]; do row+="| "; i=$((i + 1)); done
        echo "$row|"
    fi
    echo
    echo "$end"
}

# The README with its section replaced by the text in file $1.
readme_with_section() {
    [ "$(grep -cxF -- "$begin" "$readme")" = 1 ] && [ "$(grep -cxF -- "$end" "$readme")" = 1 ] ||
        fail "README.md needs the two marker lines, once each:"$'\n'"$begin"$'\n'"$end"
    awk -v begin="$begin" -v end="$end" -v file="$1" '
        $0 == begin { while ((getline line < file) > 0) print line; skip = 1; next }
        $0 == end { skip = 0; next }
        !skip' "$readme"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out=$gallery
[ $check = 1 ] && out=$work/gallery
mkdir -p "$out"
for name in "${names[@]}"; do
    "$render" "$root/presets/$name.txt" --tile 2x2 -o "$out/$name.png"
done
"$render" "$root/presets/$loop_preset.txt" "${loop_args[@]}" -o "$out/$loop_preset-loop.gif"
loop_bytes=$(wc -c < "$out/$loop_preset-loop.gif")
section > "$work/section"
readme_with_section "$work/section" > "$work/README.md"
total=$(cat "$out"/*.png | wc -c)

if [ $check = 0 ]; then
    for file in "$gallery"/*.png "$gallery"/*.gif; do
        name=$(basename "$file")
        [ -f "$root/presets/${name%.png}.txt" ] || [ "$name" = "$loop_preset-loop.gif" ] || rm -f "$file"
    done
    cmp -s "$work/README.md" "$readme" || cat "$work/README.md" > "$readme"
    echo "gallery: ${#names[@]} pictures in docs/gallery, $total bytes; the loop $loop_bytes bytes"
    [ "$total" -lt $max_bytes ] || fail "the pictures take $total bytes, more than $max_bytes"
    [ "$loop_bytes" -lt $loop_max_bytes ] || fail "the loop takes $loop_bytes bytes, more than $loop_max_bytes"
    exit 0
fi

stale=0
for name in "${names[@]}"; do
    cmp -s "$out/$name.png" "$gallery/$name.png" || { echo "gallery: docs/gallery/$name.png is out of date"; stale=1; }
done
for file in "$gallery"/*.png; do
    [ -e "$file" ] || continue
    name=$(basename "$file" .png)
    [ -f "$out/$name.png" ] || { echo "gallery: docs/gallery/$name.png has no preset"; stale=1; }
done
cmp -s "$out/$loop_preset-loop.gif" "$gallery/$loop_preset-loop.gif" ||
    { echo "gallery: docs/gallery/$loop_preset-loop.gif is out of date"; stale=1; }
for file in "$gallery"/*.gif; do
    [ -e "$file" ] || continue
    [ "$(basename "$file")" = "$loop_preset-loop.gif" ] || { echo "gallery: $file is no loop of the gallery"; stale=1; }
done
grep -qF "(docs/gallery/$loop_preset-loop.gif)" "$readme" || { echo "gallery: the README does not show the loop"; stale=1; }
cmp -s "$work/README.md" "$readme" || { echo "gallery: the README's gallery section is out of date"; stale=1; }
[ "$total" -lt $max_bytes ] || { echo "gallery: the pictures take $total bytes, more than $max_bytes"; stale=1; }
[ "$loop_bytes" -lt $loop_max_bytes ] || { echo "gallery: the loop takes $loop_bytes bytes, more than $loop_max_bytes"; stale=1; }
[ $stale = 0 ] || fail "run 'make gallery' and commit the result"
echo "gallery: ${#names[@]} pictures and the README section are current ($total bytes)"
