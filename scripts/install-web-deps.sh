#!/bin/sh
# Installs the Debian packages the browser build and its tests need:
# Emscripten, the stb single-file decoders, the Japanese faces the site
# ships, and Chromium with its WebDriver for the browser tests.
set -e
PACKAGES="emscripten libstb-dev fonts-ipafont-gothic fonts-vlgothic chromium chromium-driver python3-selenium"
missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends $missing
