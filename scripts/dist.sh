#!/usr/bin/env bash
# The download: OUTDIR/pallodex-VERSION.zip holding pallodex.exe, the README
# and the presets, side by side, ready to unpack and run on Windows. VERSION
# is the product version the program itself shows (its version block).
#
#   scripts/dist.sh OUTDIR PALLODEX_EXE
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: scripts/dist.sh OUTDIR PALLODEX_EXE" >&2
    exit 2
fi
outdir=$1
exe=$2
root=$(cd "$(dirname "$0")/.." && pwd)
[ -f "$exe" ] || { echo "dist: no $exe (make build-win32 builds it)" >&2; exit 1; }
command -v zip >/dev/null || { echo "dist: zip is missing (make deps installs it)" >&2; exit 1; }

version=$(sed -n 's/^ *VALUE "ProductVersion", "\([0-9][0-9.]*\)".*/\1/p' "$root/res/version.rc")
[ "$(printf '%s\n' "$version" | grep -c .)" = 1 ] ||
    { echo "dist: no single ProductVersion in res/version.rc" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/stage" "$work/stage/presets"
cp "$exe" "$work/stage/pallodex.exe"
cp "$root/README.md" "$work/stage/"
cp "$root"/presets/*.txt "$work/stage/presets/"
# -X: no Unix owners and times beyond the plain ones; -D: no folder entries.
(cd "$work/stage" && zip -q -X -D "$work/out.zip" pallodex.exe README.md presets/*.txt)
mkdir -p "$outdir"
mv "$work/out.zip" "$outdir/pallodex-$version.zip"
echo "dist: $outdir/pallodex-$version.zip"
