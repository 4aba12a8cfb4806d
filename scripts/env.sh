# shellcheck shell=bash
# What the project's scripts share, sourced by scripts/deps.sh,
# scripts/run-pallodex.sh, scripts/bench-win32.sh and the end-to-end harness
# (tests/e2e/lib/harness.sh): the Debian packages of each task and the
# environment pallodex.exe runs in under Wine.

# Packages by task (scripts/deps.sh GROUP...).
PALLODEX_PACKAGES_build=(g++ make cmake libgtest-dev libbenchmark-dev g++-mingw-w64-i686 zlib1g-dev
                         libz-mingw-w64-dev imagemagick pngcheck zip unzip python3-pil)
# wine64 and the 64-bit cross compiler serve machines whose kernel runs no
# 32-bit code (pallodex_wine_bits).
PALLODEX_PACKAGES_wine=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb xauth xdotool xclip fonts-ipafont-gothic locales
                        imagemagick)
PALLODEX_PACKAGES_fuzz=(clang)

pallodex_installed() { dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null | grep -qx installed; }

# pallodex_wine_bits : 32 where this machine runs 32-bit Linux programs (so
# 32-bit Wine), else 64. Some kernels and sandboxes refuse 32-bit binaries
# ("Exec format error"); there the tests run a 64-bit build of the same
# sources under 64-bit Wine, since nothing else can run a Windows program.
pallodex_wine_bits() {
    if [[ -z ${PALLODEX_WINE_BITS:-} ]]; then
        if /usr/lib/wine/wine --version >/dev/null 2>&1 || [[ ! -x /usr/lib/wine/wine64 ]]; then
            PALLODEX_WINE_BITS=32
        else
            PALLODEX_WINE_BITS=64
        fi
    fi
    echo "$PALLODEX_WINE_BITS"
}

# pallodex_windows_build : the build folder of the Windows program that runs
# here (build/win32, or build/win64 where Wine is 64-bit only).
pallodex_windows_build() { echo "win$(pallodex_wine_bits)"; }

# pallodex_wine_env PREFIX : Wine as the program is proven with: a 32-bit
# prefix (64-bit where pallodex_wine_bits says so), the Japanese ANSI code page (932), no debug output (PALLODEX_WINEDEBUG
# replaces it), no Mono/Gecko install prompts and no desktop menu entries
# written to $HOME.
pallodex_wine_env() {
    export WINEPREFIX=$1
    pallodex_wine_bits >/dev/null
    export PALLODEX_WINE_BITS WINEARCH=win$PALLODEX_WINE_BITS
    if [[ $WINEARCH == win64 ]]; then
        # Debian's wine scripts take the 32-bit loader whenever it is
        # installed, runnable or not: put the 64-bit one first.
        local shim
        shim=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64
        [[ :$PATH: == *:$shim:* ]] || export PATH=$shim:$PATH
    fi
    export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
    export WINEDEBUG=${PALLODEX_WINEDEBUG:--all}
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    unset WINESERVER WINELOADER
}
