#!/usr/bin/env bash
# Installs the Debian packages of the named groups, so that each make target
# fetches only what it uses. Idempotent: does nothing when all are present.
#
#   scripts/install-deps.sh GROUP...     (no group: build)
#   scripts/install-deps.sh --list       every group and its packages
#
# A new package goes into the group of the targets that need it; a new group
# needs a line in group(), a place in the groups list below it and the Makefile
# targets that install it. The README's tables of targets and groups follow.
set -euo pipefail

group() {
    case "$1" in
    # quillo.so, quillo.lv2, quillo-jack, quillo-render and quillo-validate
    build)
        echo g++ cmake ninja-build pkg-config make libsndfile1-dev lv2-dev liblilv-dev \
            libjack-jackd2-dev
        ;;
    # the test suite, with LV2's own tools to read the bundle and a JACK server
    test) echo libgtest-dev lilv-utils sordi serdi jackd2 sox ;;
    # other instruments that the benchmarks compare and the sanitized suite renders
    peers) echo amsynth dpf-plugins-vst dpf-plugins-lv2 ;;
    # the unit benchmarks and the callgrind profile
    bench) echo libbenchmark-dev valgrind ;;
    # the libFuzzer targets
    fuzz) echo clang libclang-rt-14-dev ;;
    # an LV2 host and a JACK server to play the LV2 build in (make test-hosts)
    hosts) echo jalv jackd2 python3 ;;
    # the spectrograms of the factory sounds (make gallery)
    gallery) echo sox ;;
    # make format-check
    format) echo clang-format ;;
    # the Debian packages (make deb): Debian's own tools, with the build's packages
    deb) echo debhelper dpkg-dev fakeroot help2man lintian cmake ninja-build pkg-config \
        libsndfile1-dev lv2-dev liblilv-dev libjack-jackd2-dev ;;
    *) return 1 ;;
    esac
}
groups=(build test peers bench fuzz hosts gallery format deb)

if [ "${1:-}" = --list ]; then
    for name in "${groups[@]}"; do
        printf '%-8s %s\n' "$name" "$(group "$name")"
    done
    exit 0
fi

packages=()
for name in "${@:-build}"; do
    if ! list=$(group "$name"); then
        echo "install-deps: no group '$name' (groups: ${groups[*]})" >&2
        exit 2
    fi
    read -ra members <<<"$list"
    packages+=("${members[@]}")
done

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
