#!/usr/bin/env bash
# Runs one check of the program driven from outside, as a person and a
# screen reader drive it: its own X server (real key and mouse events
# through xdotool) and its own session bus (AT-SPI through pyatspi).
# Exit 77, which CTest counts as skipped, when a tool is not installed.
set -euo pipefail
here=$(dirname "$0")
check=$1
shift
for tool in xvfb-run xdotool dbus-run-session import; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
# pyatspi is a Debian package: the system's own Python has it.
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || { echo "skipped: python3-pyatspi is not installed"; exit 77; }
# A server number of its own, far from the usual 99: checks and other
# programs start X servers side by side. -noreset: the server otherwise
# resets when its last client leaves (the check's first xdotool call), and
# the program connecting during that reset fails to start.
exec xvfb-run -a -n $((200 + RANDOM % 700)) -s "-screen 0 1920x1080x24 -noreset" \
  dbus-run-session -- /usr/bin/python3 "$here/$check" "$@"
