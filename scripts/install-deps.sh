#!/bin/sh
# Installs every Debian package that building, testing and running Velmora needs.
# Does nothing slow when they are all present already. With --fuzz, also
# clang and its libFuzzer runtime for the fuzz harnesses (scripts/fuzz.sh);
# with --web, what the browser build and its tests need (scripts/build-web.sh).
set -e
PACKAGES="build-essential cmake ninja-build pkg-config git
qt6-base-dev libqt6opengl6-dev qt6-websockets-dev libsdl2-dev libspeechd-dev speech-dispatcher espeak-ng speech-dispatcher-espeak-ng libopenal-dev libopenal1 libvorbis-dev libjpeg62-turbo-dev libpng-dev zlib1g-dev
libfreetype-dev libfontconfig-dev libgtest-dev libgmock-dev libbenchmark-dev libpixman-1-dev
fonts-ipafont-gothic fonts-ipafont-mincho fonts-vlgothic fonts-liberation fonts-dejavu-core xvfb xauth libgl1-mesa-dri
desktop-file-utils dpkg-dev file qt6-translations-l10n
dbus at-spi2-core python3-pyatspi gir1.2-atspi-2.0"
# Emscripten and the stb single-file decoders (the site ships the Japanese
# faces above); Chromium with its WebDriver, and Firefox-ESR with a WebSocket
# client for its own WebDriver BiDi, for the browser tests.
WEB_PACKAGES="emscripten libstb-dev chromium chromium-driver python3-selenium firefox-esr python3-websocket"
for option in "$@"; do
    case "$option" in
        --fuzz) PACKAGES="$PACKAGES clang libclang-rt-14-dev" ;;
        --web) PACKAGES="$PACKAGES $WEB_PACKAGES" ;;
        *) echo "install-deps.sh: unknown option $option" >&2; exit 2 ;;
    esac
done
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
