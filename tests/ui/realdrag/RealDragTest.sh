#!/usr/bin/env bash
# A real drag under a private Xvfb: another X client drags a JPEG onto the card dialog's front
# frame with the mouse driven by xdotool, as a file manager would.
# Usage: RealDragTest.sh DRAG_SOURCE DROP_TARGET JPEG
set -euo pipefail
source_bin=$1
target_bin=$2
jpeg=$3

for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# Waits up to ten seconds for a file to appear.
await() {
    local i
    for ((i = 0; i < 100; i++)); do
        [[ -s $1 ]] && return 0
        sleep 0.1
    done
    echo "timed out waiting for $2" >&2
    return 1
}

# Xvfb picks a free display number itself and writes it to fd 3 once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
await "$work/display" "Xvfb" || { cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$work/display")"
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR=$work/runtime
# Sanitizer builds: the only leak on the xcb platform is libdbus's own.
export LSAN_OPTIONS="suppressions=$(dirname "$0")/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
mkdir -m 700 "$XDG_RUNTIME_DIR"
echo "Xvfb on $DISPLAY"

mkdir "$work/image" "$work/drop"
dragged=$work/drop/表面の写真.jpg
cp "$jpeg" "$dragged"

"$target_bin" "$work/image" "$dragged" "$work/target.ready" &
target=$!
pids+=("$target")
"$source_bin" "$dragged" 600 120 "$work/source.ready" &
pids+=($!)
await "$work/target.ready" "the dialog"
await "$work/source.ready" "the drag source"
read -r tx ty <"$work/target.ready"
read -r sx sy <"$work/source.ready"

# Without short pauses between the moves the drag is not picked up.
xdotool mousemove "$sx" "$sy"
sleep 0.3
xdotool mousedown 1
sleep 0.3
steps=12
for ((i = 1; i <= steps; i++)); do
    xdotool mousemove $((sx + (tx - sx) * i / steps)) $((sy + (ty - sy) * i / steps))
    sleep 0.1
done
sleep 0.3
xdotool mouseup 1

status=0
wait "$target" || status=$?
[[ -f $dragged ]] || { echo "the dragged file was moved away" >&2; exit 1; }
exit "$status"
