#!/usr/bin/env bash
# Makes the Debian package of a build tree with cpack, unpacks it and checks
# what it installs: each file's place and mode, the icon's sizes, a man page
# for each program, the desktop entry and metainfo as their validators read
# them, the dependencies dpkg-shlibdeps found, pinworth without Qt's GUI
# libraries, and the postinst.
#   check_package.sh <cpack> <build directory>
set -euo pipefail

cpack=$1
build=$2
id=io.github.pinworth.Explorer
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

"$cpack" --config "$build/CPackConfig.cmake" -B "$work" >/dev/null
deb=$(echo "$work"/pinworth-explorer_*.deb)
dpkg-deb -x "$deb" "$work/root"
dpkg-deb -e "$deb" "$work/control"
cd "$work/root"

while read -r mode path; do
  case $path in
    usr/bin/*) want=755 ;;
    usr/lib/udev/rules.d/70-pinworth.rules | \
      usr/share/pinworth-explorer/71-pinworth-plugdev.rules | \
      usr/share/applications/"$id".desktop | \
      usr/share/metainfo/"$id".metainfo.xml | \
      usr/share/icons/hicolor/*/apps/"$id".* | usr/share/man/man1/*.1.gz | \
      usr/share/doc/pinworth-explorer/copyright | \
      usr/share/doc/pinworth-explorer/changelog.Debian.gz | \
      usr/share/lintian/overrides/pinworth-explorer) want=644 ;;
    *) fail "$path is not a place the package installs to"; continue ;;
  esac
  [ "$mode" = "$want" ] || fail "$path has mode $mode, not $want"
done < <(find . -type f -printf '%m %P\n')

metainfo=usr/share/metainfo/$id.metainfo.xml
rule=usr/lib/udev/rules.d/70-pinworth.rules
for file in usr/bin/pinworth-explorer usr/bin/pinworth-explorer-sim \
  usr/bin/pinworth "$rule" usr/share/pinworth-explorer/71-pinworth-plugdev.rules \
  "$metainfo" usr/share/applications/$id.desktop \
  usr/share/icons/hicolor/scalable/apps/$id.svg \
  usr/share/doc/pinworth-explorer/copyright \
  usr/share/doc/pinworth-explorer/changelog.Debian.gz; do
  [ -f "$file" ] || fail "$file is missing"
done
for size in 16 24 32 48 64 128 256; do
  png=usr/share/icons/hicolor/${size}x$size/apps/$id.png
  file "$png" | grep -q "PNG image data, $size x $size," ||
    fail "$png is not a $size px PNG"
done
for program in usr/bin/*; do
  [ -f "usr/share/man/man1/${program#usr/bin/}.1.gz" ] ||
    fail "$program has no man page"
done

desktop-file-validate "usr/share/applications/$id.desktop" ||
  fail "the desktop entry is not valid"
appstreamcli validate --no-net "$metainfo" || fail "the metainfo is not valid"

# The metainfo names the devices the udev rule opens, and the current release.
rule_devices=$(sed -n 's/.*{idVendor}=="\(.*\)", ATTRS{idProduct}=="\(.*\)",.*/\1:\2/p' \
  "$rule" | tr a-f A-F)
metainfo_devices=$(sed -n 's|.*<modalias>usb:v\(....\)p\(....\)d\*<.*|\1:\2|p' \
  "$metainfo")
[ "$metainfo_devices" = "$rule_devices" ] ||
  fail "the metainfo's devices ($metainfo_devices) are not the rule's ($rule_devices)"
version=$(dpkg-deb -f "$deb" Version)
grep -q "<release version=\"${version%-*}\"" "$metainfo" ||
  fail "the metainfo has no release $version"
changelog=$(zcat usr/share/doc/pinworth-explorer/changelog.Debian.gz | sed -n 1p)
[[ $changelog == "pinworth-explorer ($version) "* ]] ||
  fail "the changelog does not start with $version: $changelog"

depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6gui6 libqt6widgets6 libudev1; do
  [[ $depends == *"$library (>= "* ]] ||
    fail "Depends lacks $library from dpkg-shlibdeps: $depends"
done
# The command-line tool runs without a display: Qt Core and nothing above.
needed=$(objdump -p usr/bin/pinworth | sed -n 's/^ *NEEDED *//p')
[[ $needed == *libQt6Core.so* ]] || fail "pinworth does not use Qt Core"
[[ $needed != *libQt6Gui* && $needed != *libQt6Widgets* ]] ||
  fail "pinworth needs Qt's GUI libraries: $needed"
[ -x "$work/control/postinst" ] || fail "the postinst is not executable"

[ "$failures" -eq 0 ] || exit 1
echo "the package installs what it should"
