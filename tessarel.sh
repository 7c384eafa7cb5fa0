#!/usr/bin/env bash
# Sets up what Tessarel needs on a Debian machine, builds it, and then either starts the
# program (run), runs every test headless (test), or builds the release files twice and compares
# them (release).
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
          par2
          # signing the Windows programs, and the test's throwaway certificate
          osslsigncode openssl)

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

# The time every release file says: the last commit's, unless given.
commit_time() {
    [ -n "${SOURCE_DATE_EPOCH:-}" ] || SOURCE_DATE_EPOCH=$(git log -1 --format=%ct)
    export SOURCE_DATE_EPOCH
}

# The release files of the builds in build/ and build-win/, into the folder $1: the Debian
# package, the portable zip, the installer and the two programs they hold, and their SHA-256 in
# SHA256SUMS. With
# TESSAREL_SIGN_CERT and TESSAREL_SIGN_KEY the programs, the installer and its uninstaller are
# signed (packaging/windows/sign.sh). CPack and the signatures take their time from
# SOURCE_DATE_EPOCH; what the builder's shell would add is fixed here: the umask (the modes of
# the .deb's folders and members) and the time zone (the zip's DOS times).
package() {
    local out=$1
    commit_time
    rm -rf "$out"
    mkdir -p "$out"
    out=$(cd "$out" && pwd)
    (
        umask 022
        export TZ=UTC WINEPREFIX="$PWD/build-win/wineprefix" WINEDEBUG=-all
        (cd build && cpack -G DEB -B "$out/cpack" >/dev/null)
        rm -f build-win/tessarel-*-setup.exe
        cmake --build build-win --target installer >/dev/null
        (cd build-win && cpack -G ZIP -B "$out/cpack" >/dev/null)
        mv "$out"/cpack/*.deb "$out"/cpack/*.zip "$out"
        cp build-win/tessarel-*-setup.exe build-win/packaging/windows/files/tessarel*.exe "$out"
        rm -rf "$out/cpack"
        cd "$out" && sha256sum -- *.deb *.zip *.exe >SHA256SUMS
    )
}

# What the release files are built from, in this folder: the program for Linux and Windows in
# release builds, only as much of each as the files hold.
release_build() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSAREL_WERROR=ON >/dev/null
    cmake --build build -j"$(nproc)" --target tessarel manual changelog animation_clip >/dev/null
    mkdir -p build-win
    isal_for_windows
    export WINEPREFIX=${WINEPREFIX:-$PWD/build-win/wineprefix} WINEDEBUG=-all
    [ -d "$WINEPREFIX" ] || timeout 300 /usr/lib/wine/wine64 wineboot --init
    cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
        -DTESSAREL_UI=OFF -DCMAKE_BUILD_TYPE=Release -DTESSAREL_WERROR=ON \
        -DTESSAREL_ISAL_DIR="$isal_dir" >/dev/null
    cmake --build build-win -j"$(nproc)" --target installer >/dev/null
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
    # build's tests under wine, then the release files; built as a release is.
    install_missing "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    commit_time
    build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSAREL_WERROR=ON -DTESSAREL_TESTS=ON
    (cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)")
    build build-asan -DCMAKE_BUILD_TYPE=Debug -DTESSAREL_UI=OFF -DTESSAREL_SANITIZE=ON \
        -DTESSAREL_WERROR=ON
    (cd build-asan && ctest --output-on-failure -j"$(nproc)")
    build build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSAREL_UI=OFF -DTESSAREL_FUZZ=ON \
        -DTESSAREL_WERROR=ON -DCMAKE_CXX_COMPILER=clang++
    (cd build-fuzz && ctest --output-on-failure -j"$(nproc)" -L fuzz)
    windows
    # The release files made twice from these builds, signed with a throwaway certificate.
    bash tests/release/release_files_test.sh "$PWD"
    ;;
package)
    # The packaging step alone, from the builds there are: ./tessarel.sh package FOLDER
    package "${2:?usage: $0 package FOLDER}"
    ;;
release)
    # Two clean builds of the last commit, each in a folder of its own, under another umask and
    # time zone, and their release files side by side: the same SHA-256 shows the files are
    # built from this source and nothing else. The first build's files are kept in release/.
    install_missing "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
        echo "Commit first: the release files are built from the last commit." >&2
        exit 1
    fi
    commit_time
    # Both builds are of this commit, whatever is committed while they run.
    commit=$(git rev-parse HEAD)
    export WINEPREFIX=$PWD/build-win/wineprefix WINEDEBUG=-all
    mkdir -p build-win
    [ -d "$WINEPREFIX" ] || timeout 300 /usr/lib/wine/wine64 wineboot --init
    started=$(date +%s)
    places=("$(mktemp -d)/tessarel" "$(mktemp -d)/another/place/tessarel")
    masks=(022 077)
    zones=(UTC Pacific/Chatham)
    for i in 0 1; do
        mkdir -p "${places[i]}/build-win"
        git archive "$commit" | tar -x -C "${places[i]}"
        # ISA-L cross-built once, from Debian's source, serves both builds.
        [ -d build-win/isal ] && cp -a build-win/isal "${places[i]}/build-win/"
        echo "building in ${places[i]} (umask ${masks[i]}, TZ=${zones[i]})"
        (cd "${places[i]}" && umask "${masks[i]}" && export TZ=${zones[i]} &&
            ./tessarel.sh release-build)
    done
    rm -rf release
    cp -r "${places[0]}/release" release
    echo "commit ${commit:0:7}, SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH," \
         "two builds in $(($(date +%s) - started)) s"
    join -j 2 -o 1.1,2.1,0 <(sort -k 2 "${places[0]}/release/SHA256SUMS") \
        <(sort -k 2 "${places[1]}/release/SHA256SUMS") |
        awk '{ print $3; print "  first:  " $1; print "  second: " $2 }'
    if ! cmp -s "${places[0]}/release/SHA256SUMS" "${places[1]}/release/SHA256SUMS"; then
        echo "The two builds differ: kept in ${places[*]}" >&2
        exit 1
    fi
    rm -rf "${places[0]%/tessarel}" "${places[1]%/another/place/tessarel}"
    echo "identical; the files and SHA256SUMS are in release/"
    ;;
release-build)
    # One of release's builds, in the folder it made.
    release_build
    package release
    ;;
*)
    echo "usage: $0 run|test|package FOLDER|release" >&2
    exit 2
    ;;
esac
