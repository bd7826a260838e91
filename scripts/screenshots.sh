#!/usr/bin/env bash
# Takes the pictures of the README and the administrator's guide under virtual X displays:
#   docs/console.png          the cashier console logged in to the local back office, an order's
#                             transaction page open
#   docs/popup.png            the order popup
#   docs/launcher.png         the seat's launcher while it checks for the seat client's release
#   docs/seat.png             the seat client with the shop page
#   docs/config-welcome.png   the configuration tool's welcome page, once ZentrovaNubraConfig is built
#   scripts/screenshots.sh [build folder]     (default: build/default, built with the GUI)
# Everything runs in a network namespace of its own, so that a seat client that found no console
# would broadcast nowhere; that needs root (or user namespaces). Installs the headless demo's
# packages if missing (root or sudo).
# Not part of the test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=lib/console-registry.sh
source scripts/lib/console-registry.sh
# shellcheck source=lib/network-namespace.sh
source scripts/lib/network-namespace.sh
repo=$PWD
if [ "${1:-}" = --inside ]; then
    stage=inside build=$2
else
    stage=outside build=${1:-build/default}
fi
console_program=$build/src/console/ui/ZentrovaNubraConsole
client_program=$build/src/client/ui/ZentrovaNubraClient
launcher_program=$build/src/launcher/ui/LaunchNubraClient
webhost_program=$build/webhost/zentrova-webhost
config_program=$build/src/config/ui/ZentrovaNubraConfig

webhost_port=28280
console_port=28281
seat_port=28282
discovery_port=28283
release_port=28284
screen_width=1280
screen_height=800
skin_width=148
skin_height=120
tray_height=28

# ---------------------------------------------------------------------------------------------
# Outside the namespace: the programs, the packages, then the namespace itself.

outside() {
    local program
    for program in "$console_program" "$client_program" "$launcher_program" "$webhost_program"; do
        [ -x "$program" ] || {
            echo "missing $program: build ZentrovaNubraConsole, ZentrovaNubraClient," \
                "LaunchNubraClient and zentrova-webhost" >&2
            exit 1
        }
    done

    scripts/install-deps.sh --headless-demo

    local inside=(bash "$repo/scripts/screenshots.sh" --inside "$build")
    if [ "$(id -u)" -eq 0 ] && unshare -n true 2>/dev/null; then
        exec unshare -n "${inside[@]}"
    elif unshare -rn true 2>/dev/null; then
        exec unshare -rn "${inside[@]}"
    fi
    echo "no network namespace can be made here (root or user namespaces needed)" >&2
    exit 1
}

# ---------------------------------------------------------------------------------------------
# Inside the namespace.

inside() {
    isolate_network zn-shot

    state=$(mktemp -d)
    pids=()
    trap cleanup EXIT
    # Everything the programs keep lives in the temporary folder.
    export ZENTROVA_REGISTRY=$state/registry ZENTROVA_RUNTIME_DIR=$state/run
    export ZENTROVA_DRIVE_C=$state/c XDG_RUNTIME_DIR=$state/xdg
    export XDG_CACHE_HOME=$state/cache XDG_DATA_HOME=$state/data
    export QT_QPA_PLATFORM=xcb QTWEBENGINE_DISABLE_SANDBOX=1
    export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox --disable-background-networking"
    mkdir -p "$ZENTROVA_REGISTRY" "$ZENTROVA_RUNTIME_DIR" "$ZENTROVA_DRIVE_C" "$XDG_RUNTIME_DIR" \
        "$state/console" "$state/seat" docs
    chmod 700 "$XDG_RUNTIME_DIR"

    write_console_registry "$ZENTROVA_REGISTRY/HKEY_LOCAL_MACHINE.reg" \
        "http://127.0.0.1:$webhost_port" "$console_port" "$seat_port" "$discovery_port"
    cat >>"$ZENTROVA_REGISTRY/HKEY_LOCAL_MACHINE.reg" <<REG

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pexora\\ZentrovaClient]
"BroadcastPort"=dword:$(printf '%08x' "$discovery_port")
REG

    counter_display="" seat_display=""
    start_display counter_display
    start_display seat_display
    # A window manager on each screen maximises the programs and draws their captions.
    DISPLAY=$counter_display openbox >/dev/null 2>&1 &
    pids+=($!)
    DISPLAY=$seat_display openbox >/dev/null 2>&1 &
    pids+=($!)
    sleep 0.5
    # A system tray for the console's icon; it must run before the console starts.
    # It takes the bottom edge as a taskbar would, so the popup rises above it.
    DISPLAY=$counter_display trayer --edge bottom --align right --widthtype percent --width 100 \
        --height "$tray_height" --SetDockType true --SetPartialStrut true --transparent true \
        --alpha 0 --tint 0xd4dcea >/dev/null 2>&1 &
    pids+=($!)
    "$webhost_program" --port "$webhost_port" >"$state/webhost.log" 2>&1 &
    pids+=($!)
    sleep 1

    shoot_console
    shoot_seat
    if [ -x "$config_program" ]; then
        shoot_config_welcome
    else
        echo "no $config_program: the configuration tool's welcome page is not taken"
    fi
}

# The programs started here, and those that the launcher started: every live process of a file
# in the temporary folder.
cleanup() {
    local pid link
    for link in /proc/[0-9]*/exe; do
        [[ $(readlink "$link" 2>/dev/null) == "$state"/* ]] && pids+=("${link//[^0-9]/}")
    done
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$state"
}

# Starts a virtual screen on a free display; its name goes into the variable named.
start_display() {
    local number=$state/$1
    Xvfb -displayfd 3 -screen 0 "${screen_width}x${screen_height}x24" -nolisten tcp 3>"$number" \
        >"$state/$1.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 100); do [ -s "$number" ] && break; sleep 0.1; done
    [ -s "$number" ] || { echo "no virtual display" >&2; exit 1; }
    printf -v "$1" ':%s' "$(head -n 1 "$number")"
}

# The id of the largest window of the program's X class on the display, once it is shown.
window_of() {
    local display=$1 class=$2 id
    for _ in $(seq 100); do
        id=$(xwininfo -display "$display" -root -tree 2>/dev/null |
            awk -v class="\"$class\")" 'index($0, class) { split($(NF - 1), size, /[x+]/);
                if (size[1] * size[2] > best) { best = size[1] * size[2]; id = $1 } }
                END { if (best > 100) print id }' || true)
        if [ -n "$id" ] && xwininfo -display "$display" -id "$id" | grep -q IsViewable; then
            echo "$id"
            return 0
        fi
        sleep 0.2
    done
    echo "no window of $class on $display" >&2
    return 1
}

served() { grep -q "$1" "$state/webhost.log"; }

# The console logged in, with the transaction page and the popup of an order from seat A08.
shoot_console() {
    cp "$console_program" "$state/console/ZentrovaNubraConsole"
    printf '<SeatList><Seat IP="127.0.0.1">A08</Seat></SeatList>' >"$state/console/SeatList.xml"
    (cd "$state/console" && DISPLAY=$counter_display exec ./ZentrovaNubraConsole) \
        >"$state/console.log" 2>&1 &
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
    import -display "$counter_display" -window root docs/console.png
    convert docs/console.png \
        -crop "${skin_width}x${skin_height}+$((screen_width - skin_width))+$((screen_height - tray_height - skin_height))" \
        +repage docs/popup.png
    echo "wrote docs/console.png and docs/popup.png"
}

# The seat's launcher while it checks for the seat client's release (an update server that takes
# its time over the manifest keeps the line on screen), then the seat client with the shop page.
shoot_seat() {
    # The client under the name that the launcher's default "Main" starts, as the seat package
    # installs it.
    cp "$launcher_program" "$state/seat/"
    cp "$client_program" "$state/seat/ZentrovaNubraClient_Murvel"
    printf '[PROFILE_QZ]\r\nRemotePort=%s\r\nLocalPort=%s\r\nMainPage=%s\r\nUpdateServerAddress=%s\r\n' \
        "$console_port" "$seat_port" "http://127.0.0.1:$webhost_port/wb/indexc.jsp" \
        "127.0.0.1:$release_port" >"$state/seat/gameclient.dat"
    printf '[PROFILE_QZ]\r\nServerAddress=127.0.0.1\r\n' >"$state/seat/serverip.ini"

    python3 - "$repo/webhost/releases" "$release_port" <<'RELEASES' >"$state/releases.log" 2>&1 &
import functools, http.server, sys, time
folder, port = sys.argv[1], int(sys.argv[2])

class SlowManifest(http.server.SimpleHTTPRequestHandler):
    def do_GET(self):
        if self.path.endswith("/Version.xml"):
            time.sleep(4)
        super().do_GET()

    def log_message(self, *args):
        pass

handler = functools.partial(SlowManifest, directory=folder)
http.server.ThreadingHTTPServer(("127.0.0.1", port), handler).serve_forever()
RELEASES
    pids+=($!)
    for _ in $(seq 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$release_port") 2>/dev/null && break
        sleep 0.1
    done

    (cd "$state/seat" && DISPLAY=$seat_display exec ./LaunchNubraClient) >"$state/seat.log" 2>&1 &
    pids+=($!)
    local launcher
    launcher=$(window_of "$seat_display" LaunchNubraClient)
    sleep 1
    import -display "$seat_display" -window "$launcher" docs/launcher.png
    echo "wrote docs/launcher.png"

    for _ in $(seq 150); do served "GET /wb/indexc.jsp" && break; sleep 0.2; done
    served "GET /wb/indexc.jsp" || { echo "the seat client did not open the shop" >&2; exit 1; }
    # The shop page paints.
    sleep 3
    import -display "$seat_display" -window root docs/seat.png
    echo "wrote docs/seat.png"
}

# The configuration tool's welcome page, the tool in the console's folder as installed.
shoot_config_welcome() {
    cp "$config_program" "$state/console/ZentrovaNubraConfig"
    (cd "$state/console" && DISPLAY=$counter_display exec ./ZentrovaNubraConfig) \
        >"$state/config.log" 2>&1 &
    pids+=($!)
    local welcome
    welcome=$(window_of "$counter_display" ZentrovaNubraConfig)
    sleep 1
    import -display "$counter_display" -frame -window "$welcome" docs/config-welcome.png
    echo "wrote docs/config-welcome.png"
}

"$stage"
