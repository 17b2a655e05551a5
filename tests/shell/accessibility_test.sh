#!/bin/sh
# The accessibility test on a virtual display and a session bus of its own
# (the accessibility bus starts on it when first asked, and its registry,
# which sends the test's keys and clicks, needs the display).
# Usage: accessibility_test.sh BUILD_DIR
exec xvfb-run -a -s "-screen 0 1024x768x24" dbus-run-session -- \
    /usr/bin/python3 "$(dirname "$0")/accessibility_test.py" "$1"
