#!/bin/sh
# Installs the Debian packages the browser build and its tests need, with
# everything the native build needs (the browser build uses its tools).
exec "$(dirname "$0")/install-deps.sh" --web
