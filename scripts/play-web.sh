#!/bin/sh
# Builds the browser version and serves the site on this machine only:
# open the address it prints in a browser.
set -e
cd "$(dirname "$0")/.."
./scripts/build-web.sh
echo "Playing at http://127.0.0.1:8080/ (Ctrl+C stops the server)"
exec python3 -m http.server 8080 --bind 127.0.0.1 --directory build-web/site
