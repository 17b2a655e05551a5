#!/bin/sh
# Builds the browser version once (scripts/build-web.sh) and runs the
# browser tests against the site, comparing with the native build's headless
# runner: in headless Chromium (through chromedriver), then in headless
# Firefox-ESR (through its own WebDriver BiDi). Fails when any test fails.
# Test names as arguments pick tests of the Chromium suite and leave the
# Firefox suite out.
set -e
cd "$(dirname "$0")/.."
./scripts/build-web.sh
cmake --build build -- velmora
# Debian's python3, which has python3-selenium and python3-websocket.
status=0
/usr/bin/python3 tests/web/test_web.py build-web/site build/velmora build/demo "$@" || status=1
if [ $# -eq 0 ]; then
    /usr/bin/python3 tests/web/test_firefox.py build-web/site build/velmora build/demo || status=1
fi
exit $status
