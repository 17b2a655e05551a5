#!/bin/sh
# Installs the build into a scratch prefix and makes the .deb: every file a
# desktop expects is where it belongs, the desktop entries validate, the
# installed program plays its installed demo, and the package names its
# dependencies.
# usage: install_test.sh BUILD_DIR
set -e
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
for f in bin/velmora bin/velmora-pack bin/velmora-check share/velmora/demo/vk_data.vrk share/applications/velmora.desktop \
         share/applications/velmora-demo.desktop share/icons/hicolor/48x48/apps/velmora.png \
         share/icons/hicolor/256x256/apps/velmora.png share/icons/hicolor/scalable/apps/velmora.svg \
         share/man/man1/velmora.1 share/man/man1/velmora-pack.1 share/man/man1/velmora-check.1 \
         share/doc/velmora/authoring.md; do
    [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
if command -v xmllint >/dev/null; then
    xmllint --noout "$prefix/share/icons/hicolor/scalable/apps/velmora.svg"
else
    tail -n 1 "$prefix/share/icons/hicolor/scalable/apps/velmora.svg" | grep -q '</svg>' || { echo "the SVG icon is cut short"; exit 1; }
fi
if ls "$prefix/share/velmora/demo" | grep -qv '\.vrk$'; then
    echo "the installed demo holds more than its archives:"; ls "$prefix/share/velmora/demo"; exit 1
fi
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/velmora.desktop" "$prefix/share/applications/velmora-demo.desktop"
else
    echo "desktop-file-validate is not installed: the entries were not validated"
fi
# The installed program finds the installed demo by itself.
printf 'wait 500\nscreenshot %s/shot.png\n' "$scratch" > "$scratch/events.txt"
XDG_DATA_HOME="$scratch/data" "$prefix/bin/velmora" --headless --events "$scratch/events.txt" --trace "$scratch/trace.txt"
grep -q "script main: loaded" "$scratch/trace.txt" || { echo "the installed demo did not start"; exit 1; }
[ -s "$scratch/shot.png" ] || { echo "no screenshot"; exit 1; }
# What the play stored is the player's: in the data folder, not in the installation.
[ -d "$scratch/data/velmora/demo" ] || { echo "the demo keeps no save folder in the data folder"; exit 1; }
if ls "$prefix/share/velmora/demo" | grep -qv '\.vrk$'; then
    echo "playing the installed demo wrote into it:"; ls "$prefix/share/velmora/demo"; exit 1
fi
# The installed velmora opens its window through the installed window program.
[ -x "$prefix/libexec/velmora/velmora-window" ] || { echo "not installed: libexec/velmora/velmora-window"; exit 1; }
QT_QPA_PLATFORM=offscreen ALSOFT_DRIVERS=null XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" \
    "$prefix/bin/velmora" --quit-after 500 --trace "$scratch/window-trace.txt" >/dev/null 2>&1 ||
    { echo "the installed window did not open"; exit 1; }
grep -q "script main: loaded" "$scratch/window-trace.txt" || { echo "the installed window did not start the demo"; exit 1; }
# The package.
(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(ls "$scratch"/*.deb)
dpkg-deb -f "$deb" Depends | grep -q "libqt6widgets6" || { echo "the package does not depend on Qt"; exit 1; }
dpkg-deb -c "$deb" | grep -q "./usr/share/applications/velmora-demo.desktop" || { echo "no desktop entry in the package"; exit 1; }
echo "installed and packaged: $(basename "$deb")"
