#!/usr/bin/env bash
# What the whole program costs while it runs: GPS_Quillmar with all six windows
# open, fed by gps-sim on a pty, on its own Xvfb, measured over a steady window
# after start-up has settled. Optionally the same figures for gpsd + xgps fed by
# a second gps-sim (same seed) on a second pty, on the same Xvfb, as a yardstick.
#
# Usage: bench/program_cost.sh [options]
#   --duration S     seconds measured (default 120)
#   --settle S       seconds between starting the programs and measuring (default 15;
#                    the splash alone takes 3)
#   --with-gpsd      measure gpsd + xgps too; installs gpsd and gpsd-clients with
#                    apt-get when they are missing (default: only when installed)
#   --without-gpsd   never measure gpsd + xgps
#   --no-trace       no trace files: CPU and memory without tracing, no tick figures
#   --seed N         gps-sim seed for both streams (default 7)
#   --gnss           gps-sim as a multi-GNSS receiver (--gnss: four systems,
#                    about 1.5 KB a second) at 38400 bit/s
#   --build DIR      build folder holding app/GPS_Quillmar and tools/gps-sim
#                    (default: build/ at the top of the repository)
#   --keep           keep the working directory (its path is printed)
#
# Reported for each program: CPU % of one core (utime + stime of all threads from
# /proc/PID/stat over the window), peak resident memory (VmHWM), voluntary context
# switches per second (summed over /proc/PID/task/*/status: the process-level
# status line counts the main thread only), and, for GPS_Quillmar, the median and
# slowest tick of each window from its trace timing lines, only ticks inside the
# window (the traces are flushed line by line, so the lines present at the start
# of the window mark where it begins). "ThreadLog.txt" and "ComLog.txt" are left
# out on purpose: the receive thread's trace writes a line per millisecond of
# pacing and would distort the cost.
#
# gpsd listens on 127.0.0.1 (and ::1) only, on a free port, reads the pty only
# (-n -N -b -s 9600), and never sees a real device. Every process started here
# is stopped on exit. Nothing is written outside a temporary directory.
set -euo pipefail

duration=120
settle=15
gpsd_mode=auto
trace=1
seed=7
sim_options=()
baud_code=1 # 9600 bit/s
keep=0
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build

usage() { sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'; }

while [ $# -gt 0 ]; do
    case $1 in
    --duration) duration=$2; shift ;;
    --settle) settle=$2; shift ;;
    --with-gpsd) gpsd_mode=yes ;;
    --without-gpsd) gpsd_mode=no ;;
    --no-trace) trace=0 ;;
    --seed) seed=$2; shift ;;
    --gnss) sim_options=(--gnss); baud_code=4 ;;
    --build) build=$2; shift ;;
    --keep) keep=1 ;;
    -h | --help) usage; exit 0 ;;
    *) echo "program_cost: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
    shift
done

program=$build/app/GPS_Quillmar
sim=$build/tools/gps-sim
for f in "$program" "$sim"; do
    [ -x "$f" ] || { echo "program_cost: $f is missing; build it first" >&2; exit 1; }
done
command -v Xvfb >/dev/null || { echo "program_cost: Xvfb is missing (apt-get install xvfb)" >&2; exit 1; }

# --- gpsd and xgps: a yardstick, never needed ---------------------------------
have_gpsd() { command -v gpsd >/dev/null && command -v xgps >/dev/null; }
if [ "$gpsd_mode" = yes ] && ! have_gpsd; then
    echo "program_cost: installing gpsd and gpsd-clients" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y gpsd gpsd-clients >/dev/null ||
        echo "program_cost: could not install gpsd and gpsd-clients; measuring ours alone" >&2
fi
with_gpsd=0
if [ "$gpsd_mode" != no ] && have_gpsd; then
    if command -v ss >/dev/null; then
        with_gpsd=1
    else
        echo "program_cost: ss (iproute2) is missing, so gpsd's sockets cannot be checked; no gpsd" >&2
    fi
fi

# --- processes and clean-up ---------------------------------------------------
pids=()
dir=$(mktemp -d /tmp/quillmar-cost-XXXXXX)

cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    sleep 0.5
    for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    if [ "$keep" = 1 ]; then
        echo "working directory kept: $dir" >&2
    else
        rm -rf "$dir"
    fi
}
trap cleanup EXIT

# Every child keeps its caches, settings and runtime files in the run's folder,
# and finds no session bus (so none is launched behind our back).
mkdir -p "$dir/home" "$dir/run" "$dir/ours" "$dir/yard" "$dir/samples"
chmod 700 "$dir/run"
export HOME=$dir/home XDG_RUNTIME_DIR=$dir/run XDG_CACHE_HOME=$dir/home/.cache
export XDG_CONFIG_HOME=$dir/home/.config DBUS_SESSION_BUS_ADDRESS=unix:path=$dir/run/no-bus
export NO_AT_BRIDGE=1

start_xvfb() {
    local fdfile=$dir/display i
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" 2>"$dir/xvfb.err" &
    xvfb_pid=$!
    pids+=("$xvfb_pid")
    for i in $(seq 100); do
        [ -s "$fdfile" ] && break
        sleep 0.1
    done
    [ -s "$fdfile" ] || { echo "program_cost: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$(head -n1 "$fdfile")"
}

# start_sim LINK LOG: gps-sim on a new pty, linked as LINK; sets sim_pid.
start_sim() {
    local link=$1 log=$2 i
    "$sim" --link "$link" --seed "$seed" --fix-after 4 "${sim_options[@]}" >"$log.out" 2>"$log.err" &
    sim_pid=$!
    pids+=("$sim_pid")
    for i in $(seq 50); do
        [ -L "$link" ] && return 0
        sleep 0.1
    done
    echo "program_cost: gps-sim did not link $link" >&2
    exit 1
}

free_port() {
    local port
    while :; do
        port=$((20000 + RANDOM % 20000))
        [ -z "$(ss -Hltn "sport = :$port" 2>/dev/null)" ] && { echo "$port"; return; }
    done
}

# --- measuring from /proc -----------------------------------------------------
clk_tck=$(getconf CLK_TCK)

# One line per thread of PID: tid utime stime voluntary nonvoluntary comm.
thread_sample() {
    local pid=$1 task tid comm rest vol nonvol
    for task in /proc/"$pid"/task/*; do
        tid=${task##*/}
        { read -r rest <"$task/stat"; } 2>/dev/null || continue
        comm=$(tr ' ' '_' <"$task/comm" 2>/dev/null) || continue
        rest=${rest##*) } # the name may hold blanks and parentheses
        vol=$(awk '/^voluntary_ctxt_switches/ {print $2}' "$task/status" 2>/dev/null) || continue
        nonvol=$(awk '/^nonvoluntary_ctxt_switches/ {print $2}' "$task/status" 2>/dev/null) ||
            continue
        # after the name: state is field 1, utime field 12, stime field 13
        set -- $rest
        echo "$tid ${12} ${13} $vol $nonvol $comm"
    done
}

# whole-process figures: utime+stime ticks (all threads, dead ones included)
process_ticks() {
    local rest
    read -r rest <"/proc/$1/stat"
    rest=${rest##*) }
    set -- $rest
    echo $((${12} + ${13}))
}

status_kb() { awk -v k="$2:" '$1 == k {print $2}' "/proc/$1/status"; }

uptime_s() { cut -d' ' -f1 /proc/uptime; }

# take_sample NAME PID WHEN: the process's CPU ticks, resident memory and the
# moment, then its threads, in samples/NAME.WHEN.*
take_sample() {
    local out=$dir/samples/$1.$3
    echo "$(uptime_s) $(process_ticks "$2") $(status_kb "$2" VmRSS) $(status_kb "$2" VmHWM)" \
        >"$out.process"
    thread_sample "$2" >"$out.threads"
}

# --- start --------------------------------------------------------------------
echo "load average at start: $(cut -d' ' -f1-3 /proc/loadavg)"
load_start=$(cut -d' ' -f1-3 /proc/loadavg)

start_xvfb

# Ours: the settings file makes it connect to COM1 at once (COM_1, 8N1; 9600 bit/s, or 38400 with --gnss).
work=$dir/ours
printf '0 %d,3,1,0,' "$baud_code" >"$work/Quillmar.aon"
cp "$root/assets/Sure.bmp" "$work/"
trace_files=(MainLog.txt NavigationLog.txt SatelliteLog.txt SingleLog.txt RoadmapLog.txt
             SentenceLog.txt)
if [ "$trace" = 1 ]; then
    for f in "${trace_files[@]}"; do : >"$work/$f"; done
fi
start_sim "$work/COM1" "$dir/ours-sim"
ours_sim_pid=$sim_pid

if [ "$with_gpsd" = 1 ]; then
    start_sim "$dir/yard/COM1" "$dir/yard-sim"
    yard_sim_pid=$sim_pid
    pty=$(readlink "$dir/yard/COM1")
fi

(cd "$work" && QT_QPA_PLATFORM=xcb exec "$program" >"$dir/program.out" 2>&1) &
program_pid=$!
pids+=("$program_pid")

if [ "$with_gpsd" = 1 ]; then
    port=$(free_port)
    # no -G: gpsd listens on the loopback addresses only
    gpsd -n -N -b -s 9600 -S "$port" "$pty" >"$dir/gpsd.out" 2>&1 &
    gpsd_pid=$!
    pids+=("$gpsd_pid")
    for _ in $(seq 50); do
        [ -n "$(ss -Hltn "sport = :$port")" ] && break
        sleep 0.1
    done
    listening=$(ss -Hltn "sport = :$port" | awk '{print $4}' | tr '\n' ' ')
    echo "gpsd on $pty, listening on: $listening"
    for address in $listening; do
        case $address in
        127.0.0.1:* | \[::1\]:*) ;;
        *) echo "program_cost: gpsd listens on $address, not loopback only" >&2; exit 1 ;;
        esac
    done
    xgps "127.0.0.1:$port" >"$dir/xgps.out" 2>&1 &
    xgps_pid=$!
    pids+=("$xgps_pid")
fi

alive() {
    local name pid
    for name in "$@"; do
        pid=${name}_pid
        kill -0 "${!pid}" 2>/dev/null || { echo "program_cost: $name ended early" >&2; return 1; }
    done
}

measured=(program)
[ "$with_gpsd" = 1 ] && measured+=(gpsd xgps)
others=(xvfb ours_sim)
[ "$with_gpsd" = 1 ] && others+=(yard_sim)

echo "settling for ${settle}s, then measuring for ${duration}s ..."
sleep "$settle"
alive "${measured[@]}" "${others[@]}"

# Where the window begins in each trace file (every line is flushed at once).
if [ "$trace" = 1 ]; then
    for f in "${trace_files[@]}"; do
        wc -l <"$work/$f" >"$dir/samples/$f.start"
    done
fi
for name in "${measured[@]}" "${others[@]}"; do
    pid=${name}_pid
    take_sample "$name" "${!pid}" start
done

end=$(awk -v t="$(uptime_s)" -v d="$duration" 'BEGIN {print t + d}')
left() { awk -v t="$(uptime_s)" -v e="$end" 'BEGIN {print (e > t) ? e - t : 0}'; }
while [ "$(left)" != 0 ]; do
    sleep "$(awk -v l="$(left)" 'BEGIN {print (l > 1) ? 1 : l}')"
    alive "${measured[@]}" "${others[@]}"
done

for name in "${measured[@]}" "${others[@]}"; do
    pid=${name}_pid
    take_sample "$name" "${!pid}" end
done
if [ "$trace" = 1 ]; then
    for f in "${trace_files[@]}"; do
        wc -l <"$work/$f" >"$dir/samples/$f.end"
    done
fi

# The yardstick must have had data too: what gpsd reports now.
if [ "$with_gpsd" = 1 ] && command -v gpspipe >/dev/null; then
    gpsd_seen=$(timeout 5 gpspipe -w -n 8 "127.0.0.1:$port" 2>/dev/null |
        awk -F'"mode":' '/"class":"TPV"/ { split($2, m, ","); mode = m[1] }
            /"class":"SKY"/ { sats = gsub(/"PRN"/, "") }
            END { printf "fix mode %s, %s satellites in view", mode == "" ? "none" : mode, sats + 0 }')
fi
load_end=$(cut -d' ' -f1-3 /proc/loadavg)

# Stop ours first with SIGTERM: it closes its windows and their trace files.
kill -TERM "$program_pid"
for _ in $(seq 150); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$program_pid" 2>/dev/null && echo "program_cost: GPS_Quillmar did not end on SIGTERM" >&2

# --- report -------------------------------------------------------------------
# seconds between the two samples of NAME
window_of() {
    awk 'FNR == 1 { t[++n] = $1 } END { print t[2] - t[1] }' \
        "$dir/samples/$1.start.process" "$dir/samples/$1.end.process"
}
wall=$(window_of program)

# figures NAME: "cpu% hwm_mb vcsw_per_s threads lost_threads rss_start_mb rss_end_mb"
figures() {
    local s=$dir/samples/$1
    awk -v hz="$clk_tck" '
        FNR == 1 { file++ }
        file == 1 { t0 = $1; c0 = $2; r0 = $3 }
        file == 2 { t1 = $1; c1 = $2; r1 = $3; hwm = $4 }
        file == 3 { vol0[$1] = $4 }
        file == 4 { n++; v += $4 - ($1 in vol0 ? vol0[$1] : 0); seen[$1] = 1 }
        END {
            for (t in vol0) if (!(t in seen)) lost++
            wall = t1 - t0
            printf "%.3f %.1f %.1f %d %d %.1f %.1f\n", 100 * (c1 - c0) / hz / wall, hwm / 1024,
                   v / wall, n, lost, r0 / 1024, r1 / 1024
        }' "$s.start.process" "$s.end.process" "$s.start.threads" "$s.end.threads"
}

# per-thread NAME: CPU % and voluntary switches/s of each thread over the window
per_thread() {
    local name=$1
    awk -v wall="$(window_of "$name")" -v hz="$clk_tck" '
        FNR == 1 { file++ }
        file == 1 { u0[$1] = $2 + $3; v0[$1] = $4; nv0[$1] = $5 }
        file == 2 {
            c = $2 + $3 - ($1 in u0 ? u0[$1] : 0)
            v = $4 - ($1 in v0 ? v0[$1] : 0)
            nv = $5 - ($1 in nv0 ? nv0[$1] : 0)
            printf "    %-22s %7d %8.3f %10.1f %10.1f%s\n", $6, $1, 100 * c / hz / wall, v / wall,
                   nv / wall, ($1 in u0) ? "" : "  (new in the window)"
        }' "$dir/samples/$name.start.threads" "$dir/samples/$name.end.threads"
}

label() {
    case $1 in
    program) echo "GPS_Quillmar" ;;
    gpsd) echo "gpsd" ;;
    xgps) echo "xgps" ;;
    xvfb) echo "Xvfb (shared)" ;;
    ours_sim) echo "gps-sim (ours)" ;;
    yard_sim) echo "gps-sim (gpsd)" ;;
    esac
}

echo
printf 'Measured over %.1f s after %s s of settling; load average %s at start, %s at end.\n' \
    "$wall" "$settle" "$load_start" "$load_end"
[ "$trace" = 1 ] || echo "Trace files off (--no-trace)."
[ -z "${gpsd_seen:-}" ] || echo "gpsd at the end of the window: $gpsd_seen (gpspipe)."
echo
printf '%-18s %10s %12s %14s %8s %16s\n' "" "CPU % core" "peak RSS MB" "vol. csw / s" "threads" \
    "RSS MB start-end"
row() { printf '%-18s %10.3f %12.1f %14.1f %8s %16s\n' "$@"; }
declare -A fig
for name in "${measured[@]}" "${others[@]}"; do
    fig[$name]=$(figures "$name")
done
for name in "${measured[@]}"; do
    set -- ${fig[$name]}
    row "$(label "$name")" "$1" "$2" "$3" "$4" "$6-$7"
    [ "$5" = 0 ] || echo "  ($5 thread(s) of $(label "$name") ended in the window: their switches are not counted)"
done
if [ "$with_gpsd" = 1 ]; then
    read -r -a g <<<"${fig[gpsd]}"
    read -r -a x <<<"${fig[xgps]}"
    sum() { awk -v a="$1" -v b="$2" 'BEGIN {print a + b}'; }
    row "gpsd + xgps" "$(sum "${g[0]}" "${x[0]}")" "$(sum "${g[1]}" "${x[1]}")" \
        "$(sum "${g[2]}" "${x[2]}")" "$((g[3] + x[3]))" \
        "$(sum "${g[5]}" "${x[5]}")-$(sum "${g[6]}" "${x[6]}")"
fi
echo "-- not part of either program:"
for name in "${others[@]}"; do
    set -- ${fig[$name]}
    row "$(label "$name")" "$1" "$2" "$3" "$4" "$6-$7"
done

echo
echo "Per thread over the window (CPU % of a core, voluntary and involuntary switches / s):"
for name in "${measured[@]}"; do
    pid=${name}_pid
    echo "  $(label "$name") (pid ${!pid}):"
    per_thread "$name"
done

set -- ${fig[program]}
cpu=$1 hwm=$2
slowest_all=0
if [ "$trace" = 1 ]; then
    echo
    echo "Ticks of GPS_Quillmar's windows inside the measured window (finish - start line):"
    printf '  %-18s %6s %11s %11s %8s\n' "trace file" "ticks" "median ms" "slowest ms" "> 2 ms"
    for f in "${trace_files[@]}"; do
        case $f in
        SentenceLog.txt) start="Start Sentence Timer" finish="finish Sentence Timer" ;;
        *) w=${f%Log.txt} start="Start $w Timer" finish="Finish $w Timer" ;;
        esac
        from=$(($(cat "$dir/samples/$f.start") + 1)) to=$(cat "$dir/samples/$f.end")
        tr -d '\r' <"$work/$f" | sed -n "${from},${to}p" |
            awk -v s="$start : " -v e="$finish : " -v f="$f" '
            index($0, s) == 1 { at = substr($0, length(s) + 1) + 0; open = 1; next }
            index($0, e) == 1 && open { d[++n] = 1000 * (substr($0, length(e) + 1) - at); open = 0 }
            END {
                if (n == 0) { printf "  %-18s no ticks\n", f; exit }
                for (i = 1; i <= n; i++) for (j = i; j > 1 && d[j-1] > d[j]; j--) {
                    t = d[j]; d[j] = d[j-1]; d[j-1] = t }
                over = 0
                for (i = 1; i <= n; i++) if (d[i] > 2) over++
                printf "  %-18s %6d %11.3f %11.3f %8d\n", f, n, d[int((n + 1) / 2)], d[n], over
            }'
    done | tee "$dir/ticks.txt"
    slowest_all=$(awk '$2 ~ /^[0-9]+$/ && $4 > m {m = $4} END {print m + 0}' "$dir/ticks.txt")
fi

echo
verdict() { if awk -v a="$1" -v b="$2" 'BEGIN {exit !(a < b)}'; then echo met; else echo MISSED; fi; }
echo "Targets for GPS_Quillmar:"
echo "  CPU under 1 % of a core:      $cpu %  -> $(verdict "$cpu" 1)"
echo "  resident memory under 80 MB:  $hwm MB  -> $(verdict "$hwm" 80)"
if [ "$trace" = 1 ]; then
    echo "  every tick under 2 ms:        slowest $slowest_all ms  -> $(verdict "$slowest_all" 2)"
fi
