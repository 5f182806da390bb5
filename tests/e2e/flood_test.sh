#!/usr/bin/env bash
# A byte flood on the line for about 35 s, the whole program on a real X
# server with the main and view traces on (not the receive loop's, whose line
# per millisecond would only measure the disk): memory stays flat, every
# window keeps ticking once per batch, and SIGTERM ends the program cleanly.
set -euo pipefail
E2E_PROGRAM=$1 E2E_SIM=$2 check=$3 artifacts=$4
flood_seconds=${FLOOD_SECONDS:-35}
source "$(dirname "$0")/e2e_lib.sh"
dir=$(mktemp -d /tmp/quillmar-flood-XXXXXX)
trap 'e2e_cleanup; rm -rf "$dir"' EXIT
for f in MainLog.txt NavigationLog.txt SatelliteLog.txt SingleLog.txt RoadmapLog.txt \
         SentenceLog.txt; do
    : >"$dir/$f"
done
e2e_write_settings "$dir"

# Resident kB, descriptors and threads of a process that must still run.
footprint() {
    kill -0 "$1" 2>/dev/null || { echo "FAIL: the program is not running" >&2; return 1; }
    echo "$(awk '/^VmRSS:/ {print $2}' "/proc/$1/status") $(ls "/proc/$1/fd" | wc -l)" \
         "$(awk '/^Threads:/ {print $2}' "/proc/$1/status")"
}

e2e_start_xvfb
e2e_start_sim "$dir" COM1 --flood --seed 9
started=$(date +%s.%N)
e2e_start_program "$dir"
sleep 13 # 3 s of splash, then 10 s of flood
sample=$(footprint "$e2e_program_pid")
read -r rss_early fds_early threads_early <<<"$sample"
cpu_early=$(e2e_cpu_seconds "$e2e_program_pid")
sleep $((flood_seconds - 10))
sample=$(footprint "$e2e_program_pid")
read -r rss_late fds_late threads_late <<<"$sample"
cpu_late=$(e2e_cpu_seconds "$e2e_program_pid")
ran=$(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f", b - a }')

status=0
e2e_stop_program 15 || { echo "FAIL: no clean end on SIGTERM" >&2; status=1; }
echo "flood for $ran s: RSS $rss_early -> $rss_late kB, descriptors $fds_early -> $fds_late," \
     "threads $threads_early -> $threads_late, CPU" \
     "$(awk -v a="$cpu_early" -v b="$cpu_late" -v s=$((flood_seconds - 10)) \
        'BEGIN { printf "%.1f", 100 * (b - a) / s }') % of one core"
if [ -n "${E2E_ASAN:-}" ]; then
    : # freed memory waits in AddressSanitizer's quarantine; LeakSanitizer checks at exit
elif [ $((rss_late - rss_early)) -ge 4096 ]; then
    echo "FAIL: resident memory grew by $((rss_late - rss_early)) kB under the flood" >&2
    status=1
fi
if [ "$fds_late" -gt $((fds_early + 1)) ] || [ "$threads_late" -gt "$threads_early" ]; then
    echo "FAIL: descriptors or threads grew under the flood" >&2
    status=1
fi
grep -q "flood" "$dir/sim.err" || { echo "FAIL: gps-sim did not flood" >&2; status=1; }
# The windows ticked from the end of the 3 s splash on.
"$check" flood "$dir" "$(awk -v r="$ran" 'BEGIN { printf "%.1f", r - 3.5 }')" || status=1
if [ $status -ne 0 ]; then
    mkdir -p "$artifacts"
    rm -rf "$artifacts/flood-files" && cp -r "$dir" "$artifacts/flood-files"
    echo "files kept in $artifacts/flood-files" >&2
fi
exit $status
