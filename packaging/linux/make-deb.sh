#!/usr/bin/env bash
# Builds the Debian package from a staged Linux program folder (what the tar.gz holds):
#   /usr/lib/strivovr/            the programs, drivers/gaitrelay/, api_layer/, and links to
#                                 fonts/ (Debian's font packages), images/ and audio/
#   /usr/share/strivovr/          the images and sounds
#   /usr/bin/strivovr, /usr/bin/strivovr-headless   links into /usr/lib/strivovr (the programs
#                                 find their files beside their own executable, links resolved)
#   the menu entry, its icon, the /dev/uinput rule and module entry, and the OpenXR layer's
#   implicit manifest naming the packaged library by its absolute path.
# Dependencies come from dpkg-shlibdeps. SteamVR's driver registry is per user, so the
# driver folder is only shipped: the program's Status tab registers it.
# Usage: make-deb.sh <staged folder> <version> <output .deb>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
stage=$1 version=$2 output=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pkg="$work/pkg"
lib="$pkg/usr/lib/strivovr"
share="$pkg/usr/share/strivovr"
doc="$pkg/usr/share/doc/strivovr"
install -d "$lib/api_layer" "$share" "$pkg/usr/bin" "$pkg/DEBIAN" "$doc" "$lib/fonts" \
  "$pkg/usr/share/applications" "$pkg/usr/share/icons/hicolor/64x64/apps" "$pkg/usr/lib/udev/rules.d" \
  "$pkg/usr/lib/modules-load.d" "$pkg/usr/share/openxr/1/api_layers/implicit.d" "$pkg/usr/share/man/man1"

for program in strivovr strivovr-headless LayerSetup LayerRemover; do
  install -m 755 "$stage/$program" "$lib/$program"
done
cp -r "$stage/drivers" "$lib/drivers"
install -m 644 "$stage/api_layer/gait_xrlayer.so" "$stage/api_layer/gait_xrlayer.json" "$lib/api_layer/"
cp -r "$stage/images" "$stage/audio" "$share/"
ln -s ../../share/strivovr/images "$lib/images"
ln -s ../../share/strivovr/audio "$lib/audio"
# The fonts are Debian's own (the package depends on them), under the names the window loads.
ln -s ../../../share/fonts/truetype/comfortaa/Comfortaa-Bold.ttf "$lib/fonts/fredoka.ttf"
ln -s ../../../share/fonts/truetype/comfortaa/Comfortaa-Bold.ttf "$lib/fonts/Fredoka-Bold.ttf"
ln -s ../../../share/fonts/truetype/quicksand/Quicksand-Medium.ttf "$lib/fonts/quicksand.ttf"
ln -s ../lib/strivovr/strivovr "$pkg/usr/bin/strivovr"
ln -s ../lib/strivovr/strivovr-headless "$pkg/usr/bin/strivovr-headless"

# The loader reads this manifest for every OpenXR game; the library is named absolutely.
sed 's|"library_path": *"[^"]*"|"library_path": "/usr/lib/strivovr/api_layer/gait_xrlayer.so"|' \
  "$stage/api_layer/gait_xrlayer.json" > "$pkg/usr/share/openxr/1/api_layers/implicit.d/strivovr.json"
grep -q '"/usr/lib/strivovr/api_layer/gait_xrlayer.so"' "$pkg/usr/share/openxr/1/api_layers/implicit.d/strivovr.json"

install -m 644 "$stage/images/svlogo_64.png" "$pkg/usr/share/icons/hicolor/64x64/apps/strivovr.png"
install -m 644 "$here/strivovr.desktop.deb" "$pkg/usr/share/applications/strivovr.desktop"
install -m 644 "$here/60-strivovr-uinput.rules" "$pkg/usr/lib/udev/rules.d/60-strivovr-uinput.rules"
echo uinput > "$pkg/usr/lib/modules-load.d/strivovr.conf"
install -m 644 "$here/copyright" "$doc/copyright"
for page in strivovr strivovr-headless; do gzip -9n < "$here/$page.1" > "$pkg/usr/share/man/man1/$page.1.gz"; done
{
  printf 'strivovr (%s) unstable; urgency=medium\n\n  * Release %s.\n\n' "$version" "$version"
  printf ' -- StrivoVR <strivovr@example.org>  %s\n' "$(date -R -d "@${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct 2>/dev/null || date +%s)}")"
} | gzip -9n > "$doc/changelog.gz"
install -m 755 "$here/postinst" "$pkg/DEBIAN/postinst"

# Packaged programs carry no symbol tables (as Debian's own packages).
find "$lib" -type f \( -name '*.so' -o -perm -u+x \) -exec strip --strip-unneeded \
  --remove-section=.comment --remove-section=.note {} +
find "$pkg" -type d -exec chmod 755 {} +
find "$lib" -type f -name '*.so' -exec chmod 644 {} +

mkdir -p "$work/shlibs/debian"
touch "$work/shlibs/debian/control"
libraries=$(cd "$work/shlibs" && dpkg-shlibdeps -O -e"$lib/strivovr" -e"$lib/strivovr-headless" -e"$lib/LayerSetup" \
  -e"$lib/LayerRemover" -e"$lib/api_layer/gait_xrlayer.so" -e"$lib/drivers/gaitrelay/bin/linux64/driver_gaitrelay.so" 2>/dev/null |
  sed -n 's/^shlibs:Depends=//p')
[ -n "$libraries" ] || { echo "make-deb: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

cat > "$pkg/DEBIAN/control" <<EOF
Package: strivovr
Version: $version
Architecture: amd64
Maintainer: StrivoVR <strivovr@example.org>
Installed-Size: $(du -sk --exclude=DEBIAN "$pkg" | cut -f1)
Depends: $libraries, fonts-comfortaa, fonts-quicksand
Section: utils
Priority: optional
Description: walk, jump and crouch in VR games by moving your body
 StrivoVR turns the lean of a body tracker (a phone app, a SlimeVR tracker or a
 SteamVR tracker) into a walking stick, detects jumps and crouches, and drives
 the game through simulated keys, a virtual Xbox pad, its SteamVR driver,
 VRChat's OSC input or its OpenXR API layer.
EOF
(cd "$pkg" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | LC_ALL=C sort -z | xargs -0 md5sum) > "$pkg/DEBIAN/md5sums"
dpkg-deb --root-owner-group -Zxz --build "$pkg" "$output" >/dev/null
echo "package: $output"
