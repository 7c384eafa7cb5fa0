#!/usr/bin/env bash
# Sets up what Tessarel needs on a Debian machine, builds it, and then either starts the
# program (run) or runs every test headless (test).
set -euo pipefail
cd "$(dirname "$0")"

# What building and running the program needs; `run` installs only these.
RUN_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libvulkan-dev libxkbcommon-dev
              libssl-dev libisal-dev fonts-urw-base35 tex-gyre fonts-dejavu-core)
# What the tests add: `test` installs these too.
TEST_PACKAGES=(libgtest-dev libgmock-dev clang
          libclang-rt-14-dev
          python3-fusepy fuse dosfstools e2fsprogs mount
          # the Windows build, and its tests under wine
          g++-mingw-w64-x86-64-posix wine64 googletest zip unzip nsis nasm
          desktop-file-utils appstream shared-mime-info dpkg-dev xvfb x11-utils strace
          lintian man-db bash-completion
          # what a desktop machine has: the installed program must pass with them there too
          dbus-x11 dbus-bin at-spi2-core python3-pyatspi
          # a user's hand on the windows: real input through the X server, a window manager
          xdotool xclip openbox
          # the recovery benchmark's peer tool
          par2)

# Installs what of the packages given is missing.
install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
    else
        echo "Missing packages. Run as root:" >&2
        echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
}

# ISA-L for the Windows build: Debian's own source package, cross-built with mingw-w64 into a
# static library once (build-win/isal). apt-get source needs a deb-src entry for Debian's archive,
# which is added in a file of its own.
isal_for_windows() {
    local built
    built=$(ls -d build-win/isal/libisal-*/ 2>/dev/null | head -1 || true)
    if [ -n "$built" ] && [ -f "$built/bin/isa-l.a" ]; then
        isal_dir=$PWD/${built%/}
        return 0
    fi
    local entry=/etc/apt/sources.list.d/tessarel-src.sources
    if [ ! -f "$entry" ]; then
        [ "$(id -u)" -eq 0 ] || { echo "Run as root once: the Windows build needs $entry" >&2; exit 1; }
        printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" "Suites: bookworm" \
            "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" >"$entry"
        apt-get update -qq
    fi
    rm -rf build-win/isal
    mkdir -p build-win/isal
    (cd build-win/isal && apt-get source -qq libisal >/dev/null 2>&1)
    built=$(ls -d build-win/isal/libisal-*/ | head -1)
    # nasm, not yasm: a first run without AS=nasm leaves objects without the AVX-512 code.
    make -C "$built" -f Makefile.unx arch=mingw AS=nasm CC=x86_64-w64-mingw32-gcc-posix \
        AR=x86_64-w64-mingw32-ar lib -j"$(nproc)" >/dev/null
    isal_dir=$PWD/${built%/}
}

# The Windows program and its tests, cross-built with mingw-w64 and run under wine (in a wine
# prefix of the build's own); then its portable zip, and the program once from the unpacked zip.
windows() {
    mkdir -p build-win
    isal_for_windows
    export WINEPREFIX="$PWD/build-win/wineprefix" WINEDEBUG=-all
    [ -d "$WINEPREFIX" ] || timeout 300 /usr/lib/wine/wine64 wineboot --init
    # A new prefix says Windows 7, which the installer refuses; the programs need 10 (1607).
    timeout 120 /usr/lib/wine/wine64 winecfg -v win10
    # Wine draws the windows' frames itself rather than wait on a window manager Xvfb lacks.
    timeout 120 /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed \
        /t REG_SZ /d N /f >/dev/null
    # Wine hides a file whose name starts with a dot, as Windows does not: the tests see the
    # hidden attribute only where the program sets it.
    timeout 120 /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine' /v ShowDotFiles \
        /t REG_SZ /d Y /f >/dev/null
    build build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTESSAREL_UI=OFF \
        -DCMAKE_BUILD_TYPE=Release -DTESSAREL_WERROR=ON -DTESSAREL_ISAL_DIR="$isal_dir" \
        -DTESSAREL_LINUX_PROGRAM="$PWD/build/bin/tessarel"
    (cd build-win && ctest --output-on-failure)
    (cd build-win && cpack -G ZIP >/dev/null)
    rm -rf build-win/unpacked
    unzip -q build-win/tessarel-*-windows-x64.zip -d build-win/unpacked
    timeout 120 /usr/lib/wine/wine64 build-win/unpacked/tessarel-*/tessarel.exe --version
}

build() {
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}

case "${1:-}" in
run)
    install_missing "${RUN_PACKAGES[@]}"
    build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSAREL_TESTS=OFF
    exec build/bin/tessarel
    ;;
test)
    # Every test, then the core and engine tests again under AddressSanitizer and
    # UndefinedBehaviorSanitizer, then a bounded run of each fuzz target, then the Windows
    # build's tests under wine.
    install_missing "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSAREL_WERROR=ON -DTESSAREL_TESTS=ON
    (cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)")
    build build-asan -DCMAKE_BUILD_TYPE=Debug -DTESSAREL_UI=OFF -DTESSAREL_SANITIZE=ON \
        -DTESSAREL_WERROR=ON
    (cd build-asan && ctest --output-on-failure -j"$(nproc)")
    build build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSAREL_UI=OFF -DTESSAREL_FUZZ=ON \
        -DTESSAREL_WERROR=ON -DCMAKE_CXX_COMPILER=clang++
    (cd build-fuzz && ctest --output-on-failure -j"$(nproc)" -L fuzz)
    windows
    ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac
