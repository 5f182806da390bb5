# Shared by the whole-program tests: an Xvfb of their own, gps-sim on a pty
# linked into the run's working directory, and the program started there.
# Every process started here is stopped by e2e_cleanup (set as EXIT trap).

e2e_pids=()

e2e_cleanup() {
    local pid
    for pid in "${e2e_pids[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    sleep 0.5
    for pid in "${e2e_pids[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
    done
}

# Starts Xvfb on a free display and exports DISPLAY.
e2e_start_xvfb() {
    local fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" 2>/dev/null &
    e2e_pids+=($!)
    local i
    for i in $(seq 100); do
        [ -s "$fdfile" ] && break
        sleep 0.1
    done
    [ -s "$fdfile" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
}

# e2e_start_sim DIR COMn [gps-sim options...]: gps-sim linked as DIR/COMn.
e2e_start_sim() {
    local dir=$1 port=$2
    shift 2
    "$E2E_SIM" --link "$dir/$port" "$@" >"$dir/sim.out" 2>>"$dir/sim.err" &
    e2e_sim_pid=$!
    e2e_pids+=($e2e_sim_pid)
    local i
    for i in $(seq 50); do
        [ -L "$dir/$port" ] && return 0
        sleep 0.1
    done
    echo "gps-sim did not link $dir/$port" >&2
    return 1
}

# e2e_start_program DIR: the program in DIR, on the test's X server.
e2e_start_program() {
    local dir=$1
    e2e_program_dir=$dir
    (cd "$dir" && QT_QPA_PLATFORM=xcb exec "$E2E_PROGRAM" >"$dir/program.out" 2>&1) &
    e2e_program_pid=$!
    e2e_pids+=($e2e_program_pid)
}

# e2e_stop_program [seconds]: SIGTERM, then wait for a clean exit.
e2e_stop_program() {
    local limit=${1:-15} i
    kill -TERM "$e2e_program_pid" 2>/dev/null || return 1
    for i in $(seq $((limit * 10))); do
        kill -0 "$e2e_program_pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$e2e_program_pid" 2>/dev/null; then
        echo "the program did not end within ${limit}s of SIGTERM" >&2
        return 1
    fi
    local status=0
    wait "$e2e_program_pid" || status=$?
    if [ $status -ne 0 ]; then
        # A sanitizer's report at exit is one way to get here.
        echo "the program exited with status $status; its output:" >&2
        tail -n 60 "$e2e_program_dir/program.out" >&2
    fi
    return $status
}

# CPU seconds (user + system) a process has used so far.
e2e_cpu_seconds() {
    local ticks
    ticks=$(awk '{print $14 + $15}' "/proc/$1/stat")
    awk -v t="$ticks" -v hz="$(getconf CLK_TCK)" 'BEGIN { printf "%.3f", t / hz }'
}

# Settings for COM_1 at 9600 bit/s, 8 data bits, no parity, 1 stop bit.
e2e_write_settings() {
    printf '0 1,3,1,0,' >"$1/Quillmar.aon"
}

e2e_trace_files=(ComLog.txt MainLog.txt ThreadLog.txt NavigationLog.txt SatelliteLog.txt
                 SingleLog.txt RoadmapLog.txt SentenceLog.txt)
