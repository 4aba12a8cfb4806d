#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those that are missing.
#   scripts/deps.sh build   compilers, CMake, GoogleTest, Google Benchmark, zlib (native and MinGW-w64),
#                           ImageMagick, pngcheck, zip and unzip
#   scripts/deps.sh wine    Wine (32-bit where it can be installed, else 64-bit), Xvfb, xdotool,
#                           Japanese fonts and locale
#   scripts/deps.sh fuzz    clang and the libFuzzer runtime of its version
set -euo pipefail
source "$(dirname "$0")/env.sh"

want=()
need_i386=0
for group in "$@"; do
  case "$group" in
    build) want+=("${PALLODEX_PACKAGES_build[@]}") ;;
    wine) want+=("${PALLODEX_PACKAGES_wine[@]}")
          need_i386=1 ;;
    fuzz) want+=("${PALLODEX_PACKAGES_fuzz[@]}") ;;
    *) echo "deps.sh: unknown group '$group' (build, wine, fuzz)" >&2; exit 2 ;;
  esac
done

installed() { pallodex_installed "$1"; }

# Another install (a test of another checkout, an unattended upgrade) may
# hold the dpkg lock: wait for it instead of failing.
wait_for_dpkg() {
  local i
  for ((i = 0; i < 600; i++)); do
    pgrep -x apt-get >/dev/null || pgrep -x dpkg >/dev/null || return 0
    ((i % 30 == 0)) && echo "deps.sh: waiting for another apt-get/dpkg to finish" >&2
    sleep 1
  done
  echo "deps.sh: dpkg stayed locked" >&2
  return 1
}

# A package mirror may be in the middle of a sync: an index then fails to
# download ("File has unexpected size ... Mirror sync in progress?"). The
# update is tried a few times; after that apt keeps the lists it had, and the
# install decides whether they were good enough.
apt_update() {
  local i
  for i in 1 2 3; do
    apt-get update -q && return 0
    ((i < 3)) && { echo "deps.sh: apt-get update failed, trying again in $((i * 10)) s" >&2; sleep $((i * 10)); }
  done
  echo "deps.sh: apt-get update failed 3 times; going on with the package lists apt has" >&2
  return 0
}

# apt_install PACKAGE... : installs, updating the lists again between tries.
apt_install() {
  local i
  for i in 1 2; do
    apt-get install -y -q "$@" && return 0
    ((i < 2)) && { echo "deps.sh: apt-get install failed, updating the lists and trying again" >&2; apt_update; }
  done
  return 1
}

# 32-bit Wine comes from the i386 archive, whose libraries must match their
# amd64 twins version for version; a mirror caught mid-sync can break that
# for hours. Where it cannot be installed, 64-bit Wine serves instead (see
# pallodex_wine_bits), and the next tries within a day skip it.
WINE32=wine32:i386
WINE32_STAMP=${XDG_CACHE_HOME:-${HOME:-/tmp}/.cache}/pallodex/wine32-unavailable
wine32_recently_failed() { [[ -n $(find "$WINE32_STAMP" -mmin -1440 2>/dev/null) ]]; }

# The libFuzzer runtime is packaged per clang version (libclang-rt-14-dev for
# Debian 12's clang 14): ask the clang package which version it stands for.
clang_runtime() {
  local v
  v=$(apt-cache depends clang 2>/dev/null | sed -n 's/^ *Depends: clang-\([0-9][0-9]*\)$/\1/p' | head -n1)
  [ -n "$v" ] && echo "libclang-rt-$v-dev"
}

missing=()
for p in "${want[@]}"; do
  installed "$p" && continue
  [[ $p == "$WINE32" ]] && wine32_recently_failed && installed wine64 && continue
  missing+=("$p")
done
if [[ " $* " == *" fuzz "* ]]; then
  rt=$(clang_runtime || true)
  if [ -z "$rt" ] && [ "$(id -u)" -eq 0 ]; then
    apt_update >/dev/null
    rt=$(clang_runtime || true)
  fi
  if [ -z "$rt" ]; then
    echo "deps.sh: cannot tell which libFuzzer runtime the clang package needs" >&2
    exit 1
  fi
  installed "$rt" || missing+=("$rt")
fi

if [ "${#missing[@]}" -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "deps.sh: missing packages: ${missing[*]} (run as root, or install them with apt-get)" >&2
    exit 1
  fi
  wait_for_dpkg
  export DEBIAN_FRONTEND=noninteractive
  if [ "$need_i386" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  echo "deps.sh: installing ${missing[*]}"
  # With recommends: the Wine set-up the tests were proven with includes
  # them (fonts-wine among others).
  apt_update
  if ! apt_install "${missing[@]}"; then
    rest=()
    for p in "${missing[@]}"; do [[ $p == "$WINE32" ]] || rest+=("$p"); done
    ((${#rest[@]} < ${#missing[@]})) || exit 1
    echo "deps.sh: 32-bit Wine ($WINE32) cannot be installed now; using 64-bit Wine instead" >&2
    mkdir -p "$(dirname "$WINE32_STAMP")" && touch "$WINE32_STAMP"
    if ((${#rest[@]} > 0)); then apt_install "${rest[@]}" || exit 1; fi
  fi
fi

if [[ " $* " == *" wine "* ]] && ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "deps.sh: the ja_JP.UTF-8 locale is missing (run as root)" >&2
    exit 1
  fi
  if [ -f /etc/locale.gen ]; then
    sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
  else
    localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
  fi
fi
exit 0
