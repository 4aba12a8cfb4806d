# shellcheck shell=bash
# What the project's scripts share, sourced by scripts/deps.sh,
# scripts/run-pallodex.sh, scripts/bench-win32.sh and the end-to-end harness
# (tests/e2e/lib/harness.sh): the Debian packages of each task and the
# environment pallodex.exe runs in under Wine.

# Packages by task (scripts/deps.sh GROUP...).
PALLODEX_PACKAGES_build=(g++ make cmake libgtest-dev libbenchmark-dev g++-mingw-w64-i686 zlib1g-dev
                         libz-mingw-w64-dev imagemagick pngcheck zip unzip)
PALLODEX_PACKAGES_wine=(g++-mingw-w64-i686 wine wine32:i386 xvfb xauth xdotool xclip fonts-ipafont-gothic locales
                        imagemagick)
PALLODEX_PACKAGES_fuzz=(clang)

pallodex_installed() { dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null | grep -qx installed; }

# pallodex_wine_env PREFIX : Wine as the program is proven with: a 32-bit
# prefix, the Japanese ANSI code page (932), no debug output (PALLODEX_WINEDEBUG
# replaces it), no Mono/Gecko install prompts and no desktop menu entries
# written to $HOME.
pallodex_wine_env() {
    export WINEPREFIX=$1
    export WINEARCH=win32
    export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
    export WINEDEBUG=${PALLODEX_WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    unset WINESERVER WINELOADER
}
