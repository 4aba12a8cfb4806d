#!/usr/bin/env bash
# Builds the download as make dist does and checks what a Windows user would
# unpack: exactly pallodex.exe, the README and every preset, each byte for
# byte the file it was made from (pallodex.exe the one built).
#
#   tests/dist/dist_check.sh PALLODEX_EXE
# Exits 77 (skipped) when the Windows program has not been built.
set -u
exe=$1
root=$(cd "$(dirname "$0")/../.." && pwd)
[ -f "$exe" ] || { echo "dist_check: no $exe; make build-win32 builds it"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$root/scripts/dist.sh" "$work/dist" "$exe" >/dev/null || exit 1
archives=$(ls "$work/dist")
[[ $archives =~ ^pallodex-[0-9][0-9.]*\.zip$ ]] || { echo "FAIL archive name(s): $archives"; exit 1; }
zip=$work/dist/$archives

expected=$( (echo pallodex.exe; echo README.md; cd "$root" && ls presets/*.txt) | sort)
actual=$(unzip -Z1 "$zip" | sort)
[ "$actual" = "$expected" ] || { echo "FAIL the archive holds:"; echo "$actual"; echo "expected:"; echo "$expected"; exit 1; }
unzip -tq "$zip" >/dev/null || { echo "FAIL the archive does not test clean"; exit 1; }
failed=0
for name in $actual; do
    source=$root/$name
    [ "$name" = pallodex.exe ] && source=$exe
    unzip -p "$zip" "$name" | cmp -s - "$source" || { echo "FAIL $name differs from $source"; failed=1; }
done
[ $failed = 0 ] && echo "dist_check: $(echo "$actual" | wc -l) files as built"
exit $failed
