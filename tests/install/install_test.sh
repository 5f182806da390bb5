#!/usr/bin/env bash
# The installed program as users and library users meet it, from the tree
# already built: `cmake --install` into a temporary prefix (layout, SONAME,
# no library path needed, desktop files valid, the C example built through
# pkg-config and through find_package and run against the installed gps-sim),
# then the Debian package (lintian without errors) installed with dpkg,
# started as the menu starts it, and purged again. The dpkg part needs root
# and a machine without the package; otherwise it is reported as skipped.
set -euo pipefail
build=$1
tmp=$(mktemp -d /tmp/quillmar-install-XXXXXX)
pids=()
installed_package=
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    if [ -n "$installed_package" ]; then
        dpkg_retry --purge gps-quillmar >/dev/null || echo "could not purge gps-quillmar" >&2
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "== $* ($SECONDS s)"; }

# dpkg waits for no lock; apt runs of other users may hold it for a while.
dpkg_retry() {
    local i
    for i in $(seq 60); do
        if out=$(dpkg "$@" 2>&1); then echo "$out"; return 0; fi
        grep -q 'lock' <<<"$out" || { echo "$out" >&2; return 1; }
        sleep 2
    done
    echo "$out" >&2
    return 1
}

# start_sim DIR: the given gps-sim linked as DIR/COM1, fixed after 2 s.
start_sim() {
    local sim=$1 dir=$2 i
    "$sim" --link "$dir/COM1" --fix-after 2 --seed 5 >/dev/null 2>>"$tmp/sim.err" &
    pids+=($!)
    for i in $(seq 50); do [ -L "$dir/COM1" ] && return 0; sleep 0.1; done
    fail "gps-sim did not link $dir/COM1"
}

validate_desktop_files() { # share folder
    local desktop=$1/applications/io.github.quillmar.GPS_Quillmar.desktop
    desktop-file-validate "$desktop" || fail "desktop-file-validate $desktop"
    appstreamcli validate --no-net "$1/metainfo/io.github.quillmar.GPS_Quillmar.metainfo.xml" ||
        fail "appstreamcli validate"
}

step "cmake --install into a temporary prefix"
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
pc=$(find "$prefix" -name portavel.pc)
[ -n "$pc" ] || fail "no portavel.pc"
libdir=$(dirname "$(dirname "$pc")")
for f in bin/GPS_Quillmar bin/gps-sim bin/nmea-dump include/portavel.h \
    share/gps-quillmar/Sure.bmp share/icons/hicolor/scalable/apps/gps-quillmar.svg \
    share/icons/hicolor/48x48/apps/gps-quillmar.png share/man/man1/GPS_Quillmar.1.gz \
    share/man/man1/gps-sim.1.gz share/doc/gps-quillmar/README.md share/doc/gps-quillmar/LICENSE \
    share/doc/gps-quillmar/examples/portavel_example.c; do
    [ -s "$prefix/$f" ] || fail "missing $f"
done
[ -f "$libdir/cmake/Portavel/PortavelConfig.cmake" ] || fail "no CMake package"
[ "$(readlink "$libdir/libPortavel.so")" = libPortavel.so.1 ] || fail "libPortavel.so -> $(readlink "$libdir/libPortavel.so")"
real=$(readlink "$libdir/libPortavel.so.1")
[[ $real =~ ^libPortavel\.so\.1\.[0-9.]+$ ]] || fail "libPortavel.so.1 -> $real"
grep -q 'SONAME.*\[libPortavel.so.1\]' <<<"$(readelf -d "$libdir/$real")" || fail "SONAME"
# Found beside the program, with no library path set.
found=$(env -u LD_LIBRARY_PATH ldd "$prefix/bin/GPS_Quillmar" | grep libPortavel)
[ "$(readlink -f "$(awk '{print $3}' <<<"$found")")" = "$libdir/$real" ] ||
    fail "the installed program does not find the installed library: $found"
for page in GPS_Quillmar gps-sim; do
    warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l "$prefix/share/man/man1/$page.1.gz" 2>&1 >/dev/null) || true
    [ -z "$warnings" ] || fail "man $page: $warnings"
done
validate_desktop_files "$prefix/share"

step "the C example through pkg-config and through find_package"
export PKG_CONFIG_PATH=$libdir/pkgconfig
example=$prefix/share/doc/gps-quillmar/examples/portavel_example.c
# shellcheck disable=SC2046
cc -std=c99 -Wall -Wextra -Werror "$example" $(pkg-config --cflags --libs portavel) \
    -Wl,-rpath,"$(pkg-config --variable=libdir portavel)" -o "$tmp/example-pc"
mkdir -p "$tmp/consumer"
cat >"$tmp/consumer/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.20)
project(consumer C)
find_package(Portavel 1 REQUIRED)
add_executable(example-cmake $example)
target_link_libraries(example-cmake PRIVATE Portavel::Portavel)
CMAKE
cmake -S "$tmp/consumer" -B "$tmp/consumer/build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$tmp/consumer/build" >/dev/null
work=$tmp/work
mkdir -p "$work"
start_sim "$prefix/bin/gps-sim" "$work"
for example in "$tmp/example-pc" "$tmp/consumer/build/example-cmake"; do
    out=$(cd "$work" && env -u LD_LIBRARY_PATH "$example" 1) || fail "$example: $out"
    grep -q '^\$GPRMC,' <<<"$out" || fail "$example read no RMC: $out"
done
echo "$out" | tail -n 1

step "the Debian package"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$tmp/package" >/dev/null
deb=$(ls "$tmp"/package/gps-quillmar_*.deb)
dpkg-deb -f "$deb" Package Version Section Depends
lintian --fail-on error "$deb" || fail "lintian reports errors"

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: dpkg -i needs root"
    exit 77
fi
exec 9>/tmp/quillmar-package-test.lock
flock -w 300 9 || fail "another package test holds the lock"
if dpkg-query -W -f='${Status}' gps-quillmar 2>/dev/null | grep -q installed; then
    echo "SKIPPED: gps-quillmar is installed here; the test leaves it alone"
    exit 77
fi
while read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then
        echo "SKIPPED: $path exists outside the package; the test leaves it alone"
        exit 77
    fi
done < <(dpkg-deb --fsys-tarfile "$deb" | tar -t | grep -v '/$' | sed 's|^\./|/|')

step "dpkg -i"
installed_package=yes
dpkg_retry -i "$deb" >/dev/null || fail "dpkg -i"
[ "$(dpkg-query -W -f='${Status}' gps-quillmar)" = "install ok installed" ] || fail "not installed"
grep -q 'RUNPATH\|RPATH' <<<"$(readelf -d /usr/bin/GPS_Quillmar)" && fail "a search path in /usr/bin/GPS_Quillmar"
found=$(ldd /usr/bin/GPS_Quillmar | grep libPortavel)
grep -q -E 'libPortavel.so.1 => (/usr)?/lib/' <<<"$found" || fail "$found"
validate_desktop_files /usr/share

step "the installed program started as the menu starts it, against the installed gps-sim"
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/io.github.quillmar.GPS_Quillmar.desktop)
home=$tmp/home
folder=$home/GPS_Quillmar
mkdir -p "$home"
run_from_menu() {
    (cd / && HOME=$home QT_QPA_PLATFORM=offscreen exec $exec_line >"$tmp/program.out" 2>&1) &
    program=$!
    pids+=($program)
}
# The first start makes the folder.
run_from_menu
for _ in $(seq 50); do [ -d "$folder" ] && break; sleep 0.1; done
[ -d "$folder" ] || fail "no $folder after a start from the menu"
kill -TERM "$program"
wait "$program" 2>/dev/null || true
# The next one works there: settings for COM_1, the position plot's trace on.
printf '0 1,3,1,0,' >"$folder/Quillmar.aon"
: >"$folder/RoadmapLog.txt"
start_sim /usr/bin/gps-sim "$folder"
run_from_menu
positions=0
for _ in $(seq 200); do
    positions=$(grep -c -E 'a = [01], 25\.03[0-9]{4}' "$folder/RoadmapLog.txt" || true)
    [ "$positions" -ge 3 ] && break
    sleep 0.1
done
[ "$positions" -ge 3 ] || fail "the position plot traced $positions positions: $(tail -c 600 "$folder/RoadmapLog.txt") $(cat "$tmp/program.out")"
echo "position plot trace: $positions positions, e.g. $(grep -m1 -E 'a = [01], 25\.03' "$folder/RoadmapLog.txt" | tr -d '\r')"
kill -TERM "$program"
wait "$program" || fail "the program did not end cleanly on SIGTERM"
[ ! -e /GPS_Quillmar ] && [ ! -e /RoadmapLog.txt ] || fail "files landed in the directory it was started in"

step "dpkg --purge"
files=$(dpkg-query -L gps-quillmar | grep -v '^/usr$\|^/usr/[a-z]*$\|^/\.$' || true)
dpkg_retry --purge gps-quillmar >/dev/null || fail "dpkg --purge"
installed_package=
! dpkg-query -W -f='${Status}' gps-quillmar 2>/dev/null | grep -q installed || fail "still installed"
left=$(while read -r f; do if [ -f "$f" ] || [ -L "$f" ]; then echo "$f"; fi; done <<<"$files")
[ -z "$left" ] || fail "left behind: $left"
step "all done"
