#!/usr/bin/env bash
# ./scripts/demo on a machine without a display, on the tree already built:
# it must run on its own virtual X server, leave two screenshots and print a
# summary that agrees with what gps-sim simulates (Taipei, a fix).
set -euo pipefail
root=$1 build=$2
dir=$(mktemp -d /tmp/quillmar-demo-XXXXXX)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*" >&2; echo "$out" >&2; exit 1; }

out=$(env -u DISPLAY -u WAYLAND_DISPLAY QUILLMAR_BUILD_DIR="$build" QUILLMAR_DEMO_DIR="$dir" \
    "$root/scripts/demo" 2>&1) || fail "the demo failed"
echo "$out"
for shot in screen-data.png screen-end.png; do
    grep -q "screenshot $dir/$shot" <<<"$out" || fail "not told where $shot is"
    [ "$(head -c 8 "$dir/$shot" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] ||
        fail "$shot is not a PNG"
done
grep -q -E '^demo: position: 25\.0[0-9]{5} N, 121\.5[0-9]{5} E' <<<"$out" || fail "position"
read -r inview used < <(sed -n -E 's/^demo: satellites: ([0-9]+) in view, ([0-9]+) used$/\1 \2/p' <<<"$out")
[ "${inview:-0}" -ge 4 ] && [ "${used:-0}" -ge 3 ] && [ "$used" -le "$inview" ] || fail "satellites"
grep -q -E '^demo: time to fix: [0-9]+ s' <<<"$out" || fail "time to fix"
[ ! -e "$dir/COM1" ] || fail "gps-sim was left running"
