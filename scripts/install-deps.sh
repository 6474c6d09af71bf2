#!/usr/bin/env bash
# Installs the Debian packages Quillo needs to build, test and benchmark.
# Idempotent: does nothing when everything is present.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config make
    libgtest-dev libbenchmark-dev
    libsndfile1-dev
    lv2-dev liblilv-dev lilv-utils sordi serdi sox
    jackd2 libjack-jackd2-dev
    clang libclang-rt-14-dev valgrind
    amsynth dpf-plugins-vst
    sox
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
    echo "Quillo needs these packages: ${missing[*]}" >&2
    echo "Install them with:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
