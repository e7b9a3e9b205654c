#!/bin/sh
# Runs a test on the current display with a window manager, which full screen needs, and stops it after.
openbox >/dev/null 2>&1 &
openbox_pid=$!
# The window manager is ready once it has claimed the screen.
tries=0
while ! xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && [ $tries -lt 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
done
MOSSPORT_WINDOW_MANAGER=1 "$@"
status=$?
kill "$openbox_pid" 2>/dev/null
wait "$openbox_pid" 2>/dev/null
exit $status
