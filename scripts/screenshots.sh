#!/usr/bin/env bash
# Takes the README's screenshots under a virtual X display: the cashier console logged in to the
# local back office with an order's transaction page open, and the order popup.
#   scripts/screenshots.sh [build folder]     (default: build/default, built with the GUI)
# Writes docs/console.png and docs/popup.png. Installs the headless demo's packages if missing
# (root or sudo). Not part of the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=lib/console-registry.sh
source scripts/lib/console-registry.sh
build=${1:-build/default}
console_program=$build/src/console/ui/ZentrovaNubraConsole
webhost_program=$build/webhost/zentrova-webhost
for program in "$console_program" "$webhost_program"; do
    [ -x "$program" ] || { echo "missing $program: build ZentrovaNubraConsole and zentrova-webhost" >&2; exit 1; }
done

scripts/install-deps.sh --headless-demo

display=:99
webhost_port=28280
console_port=28281
seat_port=28282
discovery_port=28283
screen_width=1280
screen_height=800
skin_width=148
skin_height=120
tray_height=28

state=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$state"
}
trap cleanup EXIT

# Everything the console keeps lives in the temporary folder.
export ZENTROVA_REGISTRY=$state/registry ZENTROVA_RUNTIME_DIR=$state/run ZENTROVA_DRIVE_C=$state/c
export XDG_RUNTIME_DIR=$state/xdg
mkdir -p "$ZENTROVA_REGISTRY" "$ZENTROVA_RUNTIME_DIR" "$ZENTROVA_DRIVE_C" "$XDG_RUNTIME_DIR" "$state/console"
chmod 700 "$XDG_RUNTIME_DIR"
cp "$console_program" "$state/console/ZentrovaNubraConsole"
printf '<SeatList><Seat IP="127.0.0.1">A08</Seat></SeatList>' >"$state/console/SeatList.xml"

write_console_registry "$ZENTROVA_REGISTRY/HKEY_LOCAL_MACHINE.reg" "http://127.0.0.1:$webhost_port" \
    "$console_port" "$seat_port" "$discovery_port"

Xvfb "$display" -screen 0 "${screen_width}x${screen_height}x24" -nolisten tcp &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do [ -S "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
# A window manager maximises the console and draws its caption.
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 0.5
# A system tray for the console's icon; it must run before the console starts.
# It takes the bottom edge as a taskbar would, so the popup rises above it.
trayer --edge bottom --align right --widthtype percent --width 100 --height "$tray_height" \
    --SetDockType true --SetPartialStrut true --transparent true --alpha 0 --tint 0xd4dcea \
    >/dev/null 2>&1 &
pids+=($!)
"$webhost_program" --port "$webhost_port" >"$state/webhost.log" 2>&1 &
pids+=($!)
sleep 1

QT_QPA_PLATFORM=xcb QTWEBENGINE_DISABLE_SANDBOX=1 \
    QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox --disable-background-networking" \
    "$state/console/ZentrovaNubraConsole" >"$state/console.log" 2>&1 &
pids+=($!)

# A seat at 127.0.0.1 places an order once the console admits it.
python3 - "$console_port" "$webhost_port" <<'SEAT'
import json, socket, struct, sys, time, urllib.parse, urllib.request
console_port, webhost_port = int(sys.argv[1]), int(sys.argv[2])

def frame(sock):
    head = b""
    while len(head) < 4:
        chunk = sock.recv(4 - len(head))
        if not chunk:
            return None
        head += chunk
    (length,) = struct.unpack("<I", head)
    body = b""
    while len(body) < length:
        chunk = sock.recv(length - len(body))
        if not chunk:
            return None
        body += chunk
    return body

deadline = time.time() + 30
while True:
    try:
        seat = socket.create_connection(("127.0.0.1", console_port), timeout=5)
        greeting = frame(seat)
        if greeting:
            break
        seat.close()
    except OSError:
        pass
    if time.time() > deadline:
        sys.exit("the console never admitted the seat")
    time.sleep(0.5)
form = urllib.parse.urlencode({"goods": "card-jx-30", "qty": "2", "seat": "A08",
                               "ip": "127.0.0.1", "cid": "12"}).encode()
reply = urllib.request.urlopen(f"http://127.0.0.1:{webhost_port}/wb/order", form, timeout=5)
serial = json.load(reply)["serial"]
body = b"O" + serial.encode() + b"\0"
seat.sendall(struct.pack("<I", len(body)) + body)
seat.close()
SEAT

# The popup slides in within half a second and stays for eight.
sleep 3
mkdir -p docs
import -window root docs/console.png
convert docs/console.png \
    -crop "${skin_width}x${skin_height}+$((screen_width - skin_width))+$((screen_height - tray_height - skin_height))" \
    +repage docs/popup.png
echo "wrote docs/console.png and docs/popup.png"
