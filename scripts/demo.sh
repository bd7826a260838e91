#!/usr/bin/env bash
# The whole road of one order on this machine: the local web host, the cashier console (it logs in
# to the demo back office by itself) and one seat client, started through its launcher, which
# first fetches the seat client's release from the web host.
#   scripts/demo.sh               on your display; without one, the same as --headless
#   scripts/demo.sh --headless    under virtual displays, where zn_demo_driver plays the customer and
#                                 the cashier, checks each step and writes screenshots and a transcript
#   scripts/demo.sh --build-dir D uses the configured build folder D instead of the default preset
#   scripts/demo.sh --pictures D  headless, and the driver also takes the pictures of the README and
#                                 the administrator's guide into the folder D
# Installs the missing Debian 12 packages (root or sudo) and builds the three programs first.
# Everything it starts runs in a network namespace of its own, so that a seat client that finds
# no console broadcasts nowhere; its files live under ${XDG_STATE_HOME:-~/.local/state}/zentrova-demo.
# Each run starts afresh there, except for the console's SeatList.xml: an administrator's edits of
# it are kept across runs (delete the file to get the demo's own seat list back).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=lib/network-namespace.sh
source scripts/lib/network-namespace.sh
repo=$PWD

# Ports of their own, so the demo never meets a real console of the cafe.
webhost_port=28280
console_port=28281
seat_port=28282
discovery_port=28283
release_port=28284 # the seat's releases, when the pictures are taken
seat=A08
# The seat's address inside the namespace: it reaches the console there, so the popup, the order,
# the seat viewer and SeatList.xml all name this one address.
namespace_address=10.77.0.1
# What earlier demos wrote as the seat list; not an administrator's edit.
old_demo_seat_list='<SeatList><Seat IP="127.0.0.1">A08</Seat></SeatList>'
wait_limit=40 # seconds for any one step; the browsers' start included

usage() { sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'; }

# ---------------------------------------------------------------------------------------------
# Outside the namespace: packages, build, state folder.

outside() {
    local mode=$1 build=$2 pictures=$3
    local qpa=""
    if [[ -n $pictures ]]; then
        mkdir -p "$pictures"
        pictures=$(cd "$pictures" && pwd)
    fi
    if [[ $mode == auto ]]; then
        mode=headless
        if qpa=$(usable_display); then
            mode=display
        elif [[ -n ${DISPLAY:-} ]]; then
            echo "demo: the display '$DISPLAY' has no socket file here (one reached over TCP, as" \
                "with SSH forwarding, is out of the demo's network namespace); running headless." >&2
        fi
    fi

    local extras=()
    [[ $mode == headless ]] && extras=(--headless-demo)
    [[ $qpa == wayland ]] && extras=(--wayland)
    scripts/install-deps.sh "${extras[@]}"

    echo "demo: building ZentrovaNubraConsole, ZentrovaNubraClient, the launchers and zentrova-webhost"
    local targets=(--target ZentrovaNubraConsole ZentrovaNubraClient LaunchNubraClient
        LaunchNubraServer zentrova-webhost zn_demo_driver)
    [[ -n $pictures ]] && targets+=(ZentrovaNubraConfig)
    if [[ -n $build ]]; then
        cmake --build "$build" "${targets[@]}" >/dev/null
    else
        build=$repo/build/default
        cmake --preset default >/dev/null
        cmake --build --preset default "${targets[@]}" >/dev/null
    fi
    build=$(cd "$build" && pwd)

    local namespace=none seat_ip
    if [[ $(id -u) -eq 0 ]] && unshare -n true 2>/dev/null; then
        namespace=root
    elif [[ $(id -u) -ne 0 ]] && unshare -rn true 2>/dev/null; then
        namespace=user
    fi
    seat_ip=$namespace_address
    [[ $namespace == none ]] && seat_ip=$(own_address)

    local state=${XDG_STATE_HOME:-$HOME/.local/state}/zentrova-demo
    prepare_state "$state" "$build" "$seat_ip" "$pictures"

    export ZN_DEMO_STATE=$state ZN_DEMO_BUILD=$build ZN_DEMO_MODE=$mode ZN_DEMO_QPA=$qpa \
        ZN_DEMO_SEAT_IP=$seat_ip ZN_DEMO_PICTURES=$pictures
    local inside=(bash "$repo/scripts/demo.sh" --inside)
    if [[ $namespace == root ]]; then
        exec unshare -n "${inside[@]}"
    elif [[ $namespace == user ]]; then
        # Root of its own user namespace sets up the network, then it is the user again, so the
        # desktop's session bus still knows the programs.
        ZN_DEMO_UID=$(id -u)
        ZN_DEMO_GID=$(id -g)
        export ZN_DEMO_UID ZN_DEMO_GID
        exec unshare -rn "${inside[@]}"
    fi
    echo "demo: no network namespace can be made here; the seat client starts only once the" \
        "console answers at $seat_ip, so that it never looks for one by broadcast." >&2
    ZN_DEMO_NO_NAMESPACE=1 exec bash "$repo/scripts/demo.sh" --run
}

# This machine's address as the seat client takes its own: the first IPv4 address that is neither
# loopback nor unconfigured (127.0.0.1 when there is none). A connection to it stays here.
own_address() {
    local address
    address=$(ip -4 -o addr show 2>/dev/null |
        awk '{ split($4, a, "/"); if (a[1] !~ /^(127|0)\./) { print a[1]; exit } }')
    echo "${address:-127.0.0.1}"
}

# Prints xcb or wayland when the session's display is reachable through a socket file.
usable_display() {
    if [[ ${DISPLAY:-} =~ ^(unix)?:([0-9]+)(\.[0-9]+)?$ && -S /tmp/.X11-unix/X${BASH_REMATCH[2]} ]]; then
        echo xcb
        return 0
    fi
    if [[ -n ${WAYLAND_DISPLAY:-} ]]; then
        local socket=$WAYLAND_DISPLAY
        [[ $socket == /* ]] || socket=${XDG_RUNTIME_DIR:-/nonexistent}/$socket
        if [[ -S $socket ]]; then
            echo wayland
            return 0
        fi
    fi
    return 1
}

# The files of a counter and a seat as the configuration tool and the installer leave them. The
# seat list is the administrator's: one edited since the demo wrote it is kept. For the pictures
# the seat takes its release from a server of the driver's that can hold it, and the configuration
# tool lies in the console's folder.
prepare_state() {
    local state=$1 build=$2 seat_ip=$3 pictures=$4
    if [[ -e $state && ! -e $state/.zentrova-demo ]]; then
        echo "demo: $state exists and is not the demo's; move it away first" >&2
        exit 1
    fi
    local seat_list="<SeatList><Seat IP=\"$seat_ip\">$seat</Seat></SeatList>" kept=""
    if edited_seat_list "$state"; then
        kept=$(mktemp)
        cp "$state/console/SeatList.xml" "$kept"
    fi
    rm -rf "$state"
    mkdir -p "$state"/{registry,run,c,xdg,cache,data,console,seat,output}
    touch "$state/.zentrova-demo"
    chmod 700 "$state/xdg"
    printf '%s' "$seat_list" >"$state/.demo-seat-list.xml"
    if [[ -n $kept ]]; then
        mv "$kept" "$state/console/SeatList.xml"
        chmod 644 "$state/console/SeatList.xml"
        echo "demo: starting afresh in $state, but keeping the seat list you edited" \
            "(console/SeatList.xml); delete it to get the demo's own back ($seat at $seat_ip)."
        grep -qF "IP=\"$seat_ip\"" "$state/console/SeatList.xml" ||
            echo "demo: your seat list names no seat at $seat_ip, the demo seat's address: the" \
                "console will call its seat 未知." >&2
    else
        printf '%s' "$seat_list" >"$state/console/SeatList.xml"
    fi

    local shop=http://127.0.0.1:$webhost_port
    # The releases come from the web host, signed at build time with the samples' key, which the
    # programs verify them with.
    local release_key releases=127.0.0.1:$webhost_port
    release_key=$(sed -n 2p "$build/webhost/sample-release-key.pub")
    [[ -n $pictures ]] && releases=127.0.0.1:$release_port
    "$build/tests/e2e/demo/zn_demo_driver" settings --state "$state" --port "$webhost_port" \
        --console-port "$console_port" --seat-port "$seat_port" \
        --discovery-port "$discovery_port" --release-key "$release_key"

    link_or_copy "$build/src/console/ui/ZentrovaNubraConsole" "$state/console/ZentrovaNubraConsole"
    link_or_copy "$build/src/launcher/ui/LaunchNubraServer" "$state/console/LaunchNubraServer"
    [[ -n $pictures ]] &&
        link_or_copy "$build/src/config/ui/ZentrovaNubraConfig" "$state/console/ZentrovaNubraConfig"
    # The notice page as the configuration tool writes it (first preset), and a reject page.
    printf '%s' "<HTML><head><meta http-equiv='Content-Type' content=\"text/html; charset=gb2312\"></head><BODY><center><b><FONT face=华文新魏 color=red size=6>服务台已收到信息，请您在座位上稍等片刻</font></b><hr width=\"100%\" SIZE=\"1\"><font color=red face=华文新魏>交易结果将被发送到本窗口，请先不要关闭！</font></center><center><input id=\"ButtonMain\" name=\"ButtonMain\" type=\"button\" value=\"继续购买其他商品\"></center></BODY></HTML>" |
        iconv -f UTF-8 -t GB2312 >"$state/console/RequestReceived.html"
    printf '%s' "<HTML><head><meta http-equiv='Content-Type' content=\"text/html; charset=gb2312\"></head><BODY><center><b><FONT color=red size=6>收银台已取消您的订单，请到服务台咨询</font></b><hr width=\"100%\" SIZE=\"1\"><input id=\"ButtonMain\" name=\"ButtonMain\" type=\"button\" value=\"继续购买其他商品\"></center></BODY></HTML>" |
        iconv -f UTF-8 -t GB2312 >"$state/console/RejectTrans.html"

    link_or_copy "$build/src/client/ui/ZentrovaNubraClient" "$state/seat/ZentrovaNubraClient"
    link_or_copy "$build/src/launcher/ui/LaunchNubraClient" "$state/seat/LaunchNubraClient"
    printf '[PROFILE_QZ]\r\nRemotePort=%s\r\nLocalPort=%s\r\nCounterMode=0\r\nMainPage=%s\r\nMain=%s\r\nUpdateServerAddress=%s\r\nUpdatePublicKey=%s\r\n' \
        "$console_port" "$seat_port" "$shop/wb/indexc.jsp" ZentrovaNubraClient "$releases" \
        "$release_key" >"$state/seat/gameclient.dat"
    # The console at the seat's own address, as a seat on the cafe's LAN reaches it: the console
    # then sees the seat's connection come from the address the seat reports to the shop.
    printf '[PROFILE_QZ]\r\nServerAddress=%s\r\n' "$seat_ip" >"$state/seat/serverip.ini"
}

link_or_copy() { ln -f "$1" "$2" 2>/dev/null || cp "$1" "$2"; }

# True when the state holds a seat list that is not one the demo wrote.
edited_seat_list() {
    local state=$1 list
    [[ -f $state/console/SeatList.xml ]] || return 1
    list=$(<"$state/console/SeatList.xml")
    [[ -f $state/.demo-seat-list.xml && $list == "$(<"$state/.demo-seat-list.xml")" ]] && return 1
    [[ $list == "$old_demo_seat_list" ]] && return 1
    return 0
}

# ---------------------------------------------------------------------------------------------
# Inside the namespace.

# Loopback and an address of the seat's own besides it; the pair of links leads nowhere.
inside() {
    [[ -n ${ZN_DEMO_NO_NAMESPACE:-} ]] || isolate_network zn-demo "$namespace_address"
    if [[ -n ${ZN_DEMO_UID:-} ]]; then
        exec unshare -U --map-user="$ZN_DEMO_UID" --map-group="$ZN_DEMO_GID" \
            bash "$repo/scripts/demo.sh" --run
    fi
    run
}

now() { local t=${EPOCHREALTIME//[.,]/}; echo $((t / 100000)); } # tenths of a second

note() {
    local tenths=$(($(now) - started))
    printf '[%3d.%ds] %s\n' $((tenths / 10)) $((tenths % 10)) "$*" | tee -a "$out/transcript.txt"
}

# Runs the command every fifth of a second until it succeeds, for at most the limit.
wait_until() {
    local limit=$1 until
    shift
    until=$(($(now) + limit * 10))
    until "$@"; do
        (($(now) < until)) || return 1
        sleep 0.2
    done
}

# Starts a program in the folder, in a process group of its own, its output in the log.
launch() {
    local name=$1 folder=$2
    shift 2
    (cd "$folder" && exec setsid "$@" </dev/null >>"$out/$name.log" 2>&1) &
    pids+=("$!")
}

# The programs that the launcher started in sessions of their own: every live process of a file
# in the demo's folder.
demo_programs() {
    local link
    for link in /proc/[0-9]*/exe; do
        [[ $(readlink "$link" 2>/dev/null) == "$state"/* ]] && { link=${link#/proc/}; echo "${link%/exe}"; }
    done
    return 0
}

# The seat first, so that it never looks for a console that has gone.
stop_all() {
    local i pid
    for pid in $(demo_programs); do kill -TERM -- "-$pid" "$pid" 2>/dev/null || true; done
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill -TERM -- "-${pids[i]}" 2>/dev/null || true; done
    sleep 0.5
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill -KILL -- "-${pids[i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
}

served() { grep -q "$1" "$out/webhost.log"; }

fail() {
    note "FAILED: $*"
    failed=1
}

# Starts a virtual screen; its display name goes into the variable named second.
start_xvfb() {
    local name=$1 number=$state/$1-display
    # shellcheck disable=SC2016 # the inner shell expands $0
    launch "$name" "$state" sh -c 'exec Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$0"' \
        "$number"
    wait_until 10 test -s "$number" || { fail "no virtual display for the $name"; exit 1; }
    printf -v "$2" ':%s' "$(head -n 1 "$number")"
}

run() {
    state=$ZN_DEMO_STATE
    seat_ip=$ZN_DEMO_SEAT_IP
    out=$state/output
    started=$(now)
    pids=()
    failed=0
    trap stop_all EXIT
    trap 'exit 130' INT TERM HUP

    export ZENTROVA_REGISTRY=$state/registry ZENTROVA_RUNTIME_DIR=$state/run
    export ZENTROVA_DRIVE_C=$state/c XDG_CACHE_HOME=$state/cache XDG_DATA_HOME=$state/data
    export QTWEBENGINE_DISABLE_SANDBOX=1
    export QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu --no-sandbox --disable-background-networking --disable-component-update --disable-sync --no-first-run"
    local headless=0 counter_display=${DISPLAY:-} seat_display=${DISPLAY:-}
    local counter_env=() seat_env=()
    if [[ $ZN_DEMO_MODE == headless ]]; then
        headless=1
        export XDG_RUNTIME_DIR=$state/xdg QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8
        # The counter and the seat are two computers: a screen each.
        start_xvfb counter-screen counter_display
        start_xvfb seat-screen seat_display
        launch openbox-counter "$state" env DISPLAY="$counter_display" openbox
        launch openbox-seat "$state" env DISPLAY="$seat_display" openbox
        sleep 0.5
        # A tray for the console's icon, along the bottom edge like a taskbar.
        launch trayer "$state" env DISPLAY="$counter_display" trayer --edge bottom --align right \
            --widthtype percent --width 100 --height 28 --SetDockType true \
            --SetPartialStrut true --transparent true --alpha 0 --tint 0xd4dcea
        counter_env=(ZENTROVA_DIALOG_LOG="$out/console-dialogs.jsonl")
        seat_env=(ZENTROVA_DIALOG_LOG="$out/seat-dialogs.jsonl")
    else
        export QT_QPA_PLATFORM=$ZN_DEMO_QPA
    fi
    [[ -n ${ZN_DEMO_NO_NAMESPACE:-} ]] &&
        note "no network namespace: the seat starts only once the console answers at $seat_ip"

    local driver="" step=("$ZN_DEMO_BUILD/tests/e2e/demo/zn_demo_driver")
    local when=(--state "$state" --started $((started * 100)))
    if ((headless)); then
        # The customer and the cashier serve the web host themselves, behind the front that drives
        # its pages; their transcript lines go to the terminal.
        local docs=()
        [[ -n $ZN_DEMO_PICTURES ]] &&
            docs=(--pictures "$ZN_DEMO_PICTURES" --release-port "$release_port")
        (cd "$state" && exec setsid "${step[@]}" play "${when[@]}" --port "$webhost_port" \
            --releases "$ZN_DEMO_BUILD/webhost/releases" --counter-display "$counter_display" \
            --seat-display "$seat_display" --seat-ip "$seat_ip" "${docs[@]}" \
            </dev/null 2>>"$out/webhost.log") &
        driver=$!
        pids+=("$driver")
    else
        launch webhost "$state" "$ZN_DEMO_BUILD/webhost/zentrova-webhost" --port "$webhost_port" \
            --pages "$repo/webhost/pages" --releases "$ZN_DEMO_BUILD/webhost/releases"
    fi
    wait_until 10 served "serving http" || { fail "the web host did not start"; exit 1; }
    note "web host: back office and shop at http://127.0.0.1:$webhost_port/ (demo / 1234)"

    launch console "$state/console" env DISPLAY="$counter_display" "${counter_env[@]}" \
        ./ZentrovaNubraConsole
    "${step[@]}" greeting "${when[@]}" --seat-ip "$seat_ip" --console-port "$console_port" ||
        exit 1

    launch seat "$state/seat" env DISPLAY="$seat_display" "${seat_env[@]}" ./LaunchNubraClient
    "${step[@]}" launcher "${when[@]}" || exit 1
    wait_until "$wait_limit" served "GET /wb/indexc.jsp" ||
        { fail "the seat client did not open the shop"; exit 1; }
    note "seat: connected to the console and opened the shop page"

    if ((!headless)); then
        guide
        return 0
    fi
    kill -USR1 "$driver" 2>/dev/null || true # a driver that has gone says why in its exit
    local played=0
    wait "$driver" || played=$?
    note "transcript: $out/transcript.txt"
    ((failed == 0 && played == 0))
}

# On the user's display: the user is the customer and the cashier.
guide() {
    local seat_pid console_pid=${pids[-2]}
    seat_pid=$(for pid in $(demo_programs); do
        [[ $(readlink "/proc/$pid/exe") == "$state/seat/ZentrovaNubraClient" ]] && echo "$pid"
    done | head -n 1)
    cat <<TEXT

The demo runs on your display (files in $state):
  * the seat client "网吧购物充值客户端": choose goods and click 购买, or leave a message;
  * the console "墨维网吧收银台" announces the order in a popup at the taskbar's corner and opens
    the order: click 完成交易 there, and the seat shows 交易成功.
Press Enter here to stop the demo (or close the seat window).
TEXT
    while kill -0 "$seat_pid" 2>/dev/null && kill -0 "$console_pid" 2>/dev/null; do
        if read -r -t 1 _; then
            break
        elif (($? <= 128)); then
            sleep 1 # no terminal to read from
        fi
    done
    note "demo stopped"
}

main() {
    local mode=auto build="" pictures="" stage=outside
    while (($#)); do
        case $1 in
            --headless) mode=headless ;;
            --build-dir)
                build=${2:?--build-dir needs a folder}
                shift
                ;;
            --pictures)
                pictures=${2:?--pictures needs a folder}
                mode=headless
                shift
                ;;
            --inside) stage=inside ;;
            --run) stage=run ;;
            -h | --help)
                usage
                exit 0
                ;;
            *)
                usage >&2
                exit 2
                ;;
        esac
        shift
    done
    case $stage in
        outside) outside "$mode" "$build" "$pictures" ;;
        inside) inside ;;
        run) run ;;
    esac
}

main "$@"
