#!/bin/sh
# Runs a test on the current display with a notification area beside it, and stops the notification area after.
trayer --edge bottom --align left >/dev/null 2>&1 &
trayer_pid=$!
MOSSPORT_TRAYER=1 "$@"
status=$?
kill "$trayer_pid" 2>/dev/null
wait "$trayer_pid" 2>/dev/null
exit $status
