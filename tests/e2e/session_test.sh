#!/usr/bin/env bash
# A whole session as a user meets it: the program on a real X server, fed by
# gps-sim for about 15 s with every trace file switched on, ended with SIGTERM.
# The files alone must then agree with what gps-sim sent.
set -euo pipefail
E2E_PROGRAM=$1 E2E_SIM=$2 check=$3 grab=$4 artifacts=$5
source "$(dirname "$0")/e2e_lib.sh"
trap e2e_cleanup EXIT

dir=$(mktemp -d /tmp/quillmar-e2e-XXXXXX)
mkdir -p "$artifacts"
for f in "${e2e_trace_files[@]}"; do : >"$dir/$f"; done
e2e_write_settings "$dir"

e2e_start_xvfb
e2e_start_sim "$dir" COM1 --seed 7 --fix-after 4 --record "$dir/sent.txt"
e2e_start_program "$dir"
sleep 18 # 3 s of splash, then about 15 s of receiving
QT_QPA_PLATFORM=xcb "$grab" "$artifacts/session.png" || echo "no screenshot" >&2
e2e_stop_program 15
status=0
"$check" session "$dir" || status=1
"$check" ticks "$dir" || true
if [ $status -ne 0 ]; then
    rm -rf "$artifacts/session-files" && cp -r "$dir" "$artifacts/session-files"
    echo "files kept in $artifacts/session-files" >&2
fi
rm -rf "$dir"
exit $status
