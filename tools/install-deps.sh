#!/usr/bin/env bash
# Installs the Debian packages the project needs to build, test and run, but only when one of
# them is missing, so that ./run and ./test start at once on a machine that already has them.
set -euo pipefail

packages=(
    build-essential cmake ninja-build clang libclang-rt-14-dev
    qt6-base-dev qt6-svg-dev libopenal-dev librtmidi-dev
    jackd2 libjack-jackd2-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    fonts-liberation2 xvfb xauth xdotool imagemagick librsvg2-bin sox pulseaudio pulseaudio-utils
    desktop-file-utils appstream shared-mime-info libglib2.0-bin lintian
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing missing packages: ${missing[*]}" >&2
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
