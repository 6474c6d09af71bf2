#!/usr/bin/env bash
# The packaging check: builds the Debian packages, installs them with apt, plays the
# demo through the installed quillo-render and each installed plug-in (the two must
# write the same file), removes the packages again and makes sure nothing of them is
# left. Needs root (it installs).
#
#   deb-check.sh [OUT]     the packages are built into OUT (default build-deb/)
set -euo pipefail
cd "$(dirname "$0")/.."

out=$(realpath -m "${1:-build-deb}")
packages=(quillo-lv2 quillo-vst quillo-tools quillo-jack)
scripts/deb.sh "$out"

for p in "${packages[@]}"; do
    if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        echo "deb-check: $p is installed already; remove it first" >&2
        exit 1
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export DEBIAN_FRONTEND=noninteractive
# As the README says: every package built, by apt from the files.
apt-get install -y -qq --no-install-recommends "$out"/*.deb >/dev/null 2>"$work/apt.log" ||
    { cat "$work/apt.log" >&2; exit 1; }
for p in "${packages[@]}"; do dpkg -L "$p" >>"$work/files"; done

# The installed tools with the installed plug-ins.
cd "$work"
/usr/bin/quillo-render --version >/dev/null
/usr/bin/quillo-render --demo --plugin /usr/lib/vst/quillo.so -o demo-vst.wav
/usr/bin/quillo-render --demo --plugin /usr/lib/lv2/quillo.lv2 -o demo-lv2.wav
cmp demo-vst.wav demo-lv2.wav || { echo "deb-check: the two plug-ins sound different" >&2; exit 1; }
/usr/bin/quillo-validate --help >/dev/null
# lilv finds the installed bundle with its presets.
presets=$(LV2_PATH=/usr/lib/lv2 lv2info https://mirefold.org/lv2/quillo |
    awk '/Presets:/ { on = 1; next } on && /^\t +[^ ]/ { n++; next } { on = 0 } END { print n + 0 }')
[ "$presets" -gt 0 ] || { echo "deb-check: lilv sees no presets in the installed bundle" >&2; exit 1; }
[ -s /usr/share/quillo/presets/quillo-factory.fxb ] || { echo "deb-check: no factory bank" >&2; exit 1; }
/usr/bin/quillo-jack --help >/dev/null
for page in quillo-render quillo-validate quillo-jack; do
    [ -s "/usr/share/man/man1/$page.1.gz" ] || { echo "deb-check: no manual page $page" >&2; exit 1; }
done
cd - >/dev/null

apt-get purge -y -qq "${packages[@]}" >/dev/null 2>"$work/apt.log" || { cat "$work/apt.log" >&2; exit 1; }
# Every file of the packages, and every folder of Quillo's own, must be gone.
left=0
while read -r path; do
    [ -d "$path" ] && [[ $path != *quillo* ]] && continue
    if [ -e "$path" ]; then
        echo "deb-check: $path is left behind" >&2
        left=1
    fi
done <"$work/files"
[ "$left" -eq 0 ] || exit 1
echo "deb-check: the packages install, render the demo and remove cleanly"
