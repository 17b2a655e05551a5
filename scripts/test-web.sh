#!/bin/sh
# Builds the browser version once (scripts/build-web.sh) and runs the
# browser tests in headless Chromium against the site, comparing with the
# native build's headless runner. Fails when any test fails.
set -e
cd "$(dirname "$0")/.."
./scripts/build-web.sh
cmake --build build -- velmora
# Debian's python3, which has python3-selenium.
exec /usr/bin/python3 tests/web/test_web.py build-web/site build/velmora build/demo "$@"
