#!/usr/bin/env bash
# Installs the Debian/Ubuntu packages that are missing; does nothing when
# they are all present, so every script can call it first.
#   scripts/install-deps.sh              what the build, the tests and the examples need
#   scripts/install-deps.sh PACKAGE...   that and these as well
#   scripts/install-deps.sh --only PACKAGE...   only these
set -euo pipefail

packages=(
    cmake g++ make ninja-build  # the build
    ccache                      # compiler cache under ~/.cache/ccache: repeat builds are quick
    qt6-base-dev                # Qt 6 Core, Gui, Widgets, Test
    qt6-qpa-plugins             # Qt 6 platform plugins: the window under Xvfb and offscreen
    qtbase5-dev                 # Qt 5 Core, Gui, Widgets, Test: the tests also build with Qt 5
    libssl-dev                  # OpenSSL's libcrypto: SHA-256 and Ed25519 signatures of releases
    signify-openbsd             # the standard tool that checks release signatures in the tests
    clang libclang-rt-dev       # the sanitizer build and libFuzzer for the fuzz target
    srecord binutils python3    # independent references: srec_cat, objcopy, crc_hqx
    binutils-arm-none-eabi      # ELF sources made from assembly in the tests, and their objcopy
    python3-intelhex            # another independent reader and writer of Intel HEX
    time                        # GNU time: every measured run of the benchmarks (bench/benchtiming.py)
    xvfb xauth xdotool          # the window smoke test and the run command
    faketime                    # a fixed clock for the window and vandrel-cli in the tests
    fonts-wqy-microhei          # Chinese glyphs in the window
    help2man                    # the window's man page from its own --help
    man-db groff-base           # man --warnings and lexgrog check the command line's man pages
    dpkg-dev file               # Debian packages: dpkg-shlibdeps computes their dependencies
    desktop-file-utils          # desktop-file-validate on the desktop entry
    shared-mime-info libglib2.0-bin  # the project settings type, as file managers see it (gio)
    lintian                     # Debian's checks of the packages
)
if [ "${1:-}" = --only ]; then
    shift
    packages=("$@")
else
    packages+=("$@")
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
