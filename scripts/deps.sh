#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those that are missing.
#   scripts/deps.sh build   compilers, CMake, GoogleTest, Google Benchmark, zlib (native and MinGW-w64),
#                           ImageMagick, pngcheck, zip and unzip
#   scripts/deps.sh wine    Wine (32-bit), Xvfb, xdotool, Japanese fonts and locale
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

# The libFuzzer runtime is packaged per clang version (libclang-rt-14-dev for
# Debian 12's clang 14): ask the clang package which version it stands for.
clang_runtime() {
  local v
  v=$(apt-cache depends clang 2>/dev/null | sed -n 's/^ *Depends: clang-\([0-9][0-9]*\)$/\1/p' | head -n1)
  [ -n "$v" ] && echo "libclang-rt-$v-dev"
}

missing=()
for p in "${want[@]}"; do installed "$p" || missing+=("$p"); done
if [[ " $* " == *" fuzz "* ]]; then
  rt=$(clang_runtime || true)
  if [ -z "$rt" ] && [ "$(id -u)" -eq 0 ]; then
    apt-get update -q >/dev/null
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
  apt-get update -q
  apt-get install -y -q "${missing[@]}"
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
