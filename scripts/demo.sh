#!/usr/bin/env bash
# The whole road of one order on this machine: the local web host, the cashier console (it logs in
# to the demo back office by itself) and one seat client, started through its launcher, which
# first fetches the seat client's release from the web host.
#   scripts/demo.sh               on your display; without one, the same as --headless
#   scripts/demo.sh --headless    under virtual displays: orders at the seat, leaves a message,
#                                 completes the order, then writes screenshots and a transcript
#   scripts/demo.sh --build-dir D uses the configured build folder D instead of the default preset
# Installs the missing Debian 12 packages (root or sudo) and builds the three programs first.
# Everything it starts runs in a network namespace of its own, so that a seat client that finds
# no console broadcasts nowhere; its files live under ${XDG_STATE_HOME:-~/.local/state}/zentrova-demo.
# Each run starts afresh there, except for the console's SeatList.xml: an administrator's edits of
# it are kept across runs (delete the file to get the demo's own seat list back).
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=lib/console-registry.sh
source scripts/lib/console-registry.sh
# shellcheck source=lib/network-namespace.sh
source scripts/lib/network-namespace.sh
repo=$PWD

# Ports of their own, so the demo never meets a real console of the cafe.
webhost_port=28280
console_port=28281
seat_port=28282
discovery_port=28283
seat=A08
# The seat's address inside the namespace: it reaches the console there, so the popup, the order,
# the seat viewer and SeatList.xml all name this one address.
namespace_address=10.77.0.1
# What earlier demos wrote as the seat list; not an administrator's edit.
old_demo_seat_list='<SeatList><Seat IP="127.0.0.1">A08</Seat></SeatList>'
wait_limit=40 # seconds for any one step; the browsers' start included

usage() { sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; }

# ---------------------------------------------------------------------------------------------
# Outside the namespace: packages, build, state folder.

outside() {
    local mode=$1 build=$2
    local qpa=""
    if [[ $mode == auto ]]; then
        mode=headless
        if qpa=$(usable_display); then
            mode=display
        elif [[ -n ${DISPLAY:-} ]]; then
            echo "demo: the display '$DISPLAY' has no socket file here (one reached over TCP, as" \
                "with SSH forwarding, is out of the demo's network namespace); running headless." >&2
        fi
    fi

    local extra=()
    [[ $mode == headless ]] && extra=(openbox imagemagick trayer)
    [[ $qpa == wayland ]] && extra=(qt6-wayland)
    install_packages "${extra[@]}"

    echo "demo: building ZentrovaNubraConsole, ZentrovaNubraClient, the launchers and zentrova-webhost"
    local targets=(--target ZentrovaNubraConsole ZentrovaNubraClient LaunchNubraClient
        LaunchNubraServer zentrova-webhost)
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
    prepare_state "$state" "$build" "$mode" "$seat_ip"

    export ZN_DEMO_STATE=$state ZN_DEMO_BUILD=$build ZN_DEMO_MODE=$mode ZN_DEMO_QPA=$qpa \
        ZN_DEMO_SEAT_IP=$seat_ip
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

install_packages() {
    scripts/install-deps.sh
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    if ((${#missing[@]})); then
        echo "demo: installing ${missing[*]}"
        local sudo_cmd=()
        [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
        "${sudo_cmd[@]}" apt-get update -qq
        DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq \
            --no-install-recommends "${missing[@]}"
    fi
}

# The files of a counter and a seat as the configuration tool and the installer leave them. The
# seat list is the administrator's: one edited since the demo wrote it is kept.
prepare_state() {
    local state=$1 build=$2 mode=$3 seat_ip=$4
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
    write_console_registry "$state/registry/HKEY_LOCAL_MACHINE.reg" "$shop" "$console_port" \
        "$seat_port" "$discovery_port"
    # The console's releases come from the web host too (its port in the address).
    sed -i "/^\"BroadcastPort\"/a \"UpdateServerAddress\"=\"127.0.0.1:$webhost_port\"" \
        "$state/registry/HKEY_LOCAL_MACHINE.reg"
    cat >>"$state/registry/HKEY_LOCAL_MACHINE.reg" <<REG

[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pexora\\ZentrovaClient]
"BroadcastPort"=dword:$(printf '%08x' "$discovery_port")
REG

    link_or_copy "$build/src/console/ui/ZentrovaNubraConsole" "$state/console/ZentrovaNubraConsole"
    link_or_copy "$build/src/launcher/ui/LaunchNubraServer" "$state/console/LaunchNubraServer"
    # The notice page as the configuration tool writes it (first preset), and a reject page.
    printf '%s' "<HTML><head><meta http-equiv='Content-Type' content=\"text/html; charset=gb2312\"></head><BODY><center><b><FONT face=华文新魏 color=red size=6>服务台已收到信息，请您在座位上稍等片刻</font></b><hr width=\"100%\" SIZE=\"1\"><font color=red face=华文新魏>交易结果将被发送到本窗口，请先不要关闭！</font></center><center><input id=\"ButtonMain\" name=\"ButtonMain\" type=\"button\" value=\"继续购买其他商品\"></center></BODY></HTML>" |
        iconv -f UTF-8 -t GB2312 >"$state/console/RequestReceived.html"
    printf '%s' "<HTML><head><meta http-equiv='Content-Type' content=\"text/html; charset=gb2312\"></head><BODY><center><b><FONT color=red size=6>收银台已取消您的订单，请到服务台咨询</font></b><hr width=\"100%\" SIZE=\"1\"><input id=\"ButtonMain\" name=\"ButtonMain\" type=\"button\" value=\"继续购买其他商品\"></center></BODY></HTML>" |
        iconv -f UTF-8 -t GB2312 >"$state/console/RejectTrans.html"

    link_or_copy "$build/src/client/ui/ZentrovaNubraClient" "$state/seat/ZentrovaNubraClient"
    link_or_copy "$build/src/launcher/ui/LaunchNubraClient" "$state/seat/LaunchNubraClient"
    printf '[PROFILE_QZ]\r\nRemotePort=%s\r\nLocalPort=%s\r\nCounterMode=0\r\nMainPage=%s\r\nMain=%s\r\nUpdateServerAddress=%s\r\n' \
        "$console_port" "$seat_port" "$shop/wb/indexc.jsp" ZentrovaNubraClient \
        "127.0.0.1:$webhost_port" >"$state/seat/gameclient.dat"
    # The console at the seat's own address, as a seat on the cafe's LAN reaches it: the console
    # then sees the seat's connection come from the address the seat reports to the shop.
    printf '[PROFILE_QZ]\r\nServerAddress=%s\r\n' "$seat_ip" >"$state/seat/serverip.ini"

    cp -r "$repo/webhost/pages" "$state/pages"
    [[ $mode == headless ]] && add_drive_scripts "$state/pages"
    return 0
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

# Headless, the pages play the customer and the cashier: the demo appends cues to its copy of
# notice.html, and the shop page and the transaction page act on each cue once, with the clicks a
# person would make.
add_drive_scripts() {
    local pages=$1
    insert_into_head "$pages/shop.html" <<'JS'
<script>
(function () {
  var byId = function (id) { return document.getElementById(id); };
  var steps = {
    order: function () { document.querySelector('button.order').click(); },
    message: function () {
      byId('textSubmit').value = '请送一瓶矿泉水到我的座位';
      byId('ButtonOnTextSubmit').click();
    }
  };
  // Cues given before this page loaded were meant for an earlier one.
  var earlier = true;
  pollCues(function (text) {
    Object.keys(steps).forEach(function (name) {
      if (text.indexOf('<!--demo:' + name + '-->') >= 0) {
        if (!earlier) { steps[name](); }
        delete steps[name];
      }
    });
    earlier = false;
  });
})();
</script>
JS
    insert_into_head "$pages/transaction.html" <<'JS'
<script>
(function () {
  var transId = new URLSearchParams(location.search).get('transid');
  var steps = { viewseat: 'ButtonViewSeat', commit: 'ButtonOnCommitSuccess' };
  pollCues(function (text) {
    Object.keys(steps).forEach(function (name) {
      if (text.indexOf('<!--demo:' + name + ':' + transId + '-->') >= 0) {
        var id = steps[name];
        delete steps[name];
        document.getElementById(id).click();
      }
    });
  });
})();
</script>
JS
}

# Puts standard input, after the cue poller, before the page's </head>: the console sends only a
# page's body to the seat, so nothing of this reaches a customer.
insert_into_head() {
    local page=$1 addition
    addition=$(
        cat <<'JS'
<script>
function pollCues(act) {
  function poll() {
    fetch('/wb/notice.html', { cache: 'no-store' }).then(function (r) { return r.text(); })
      .then(act).catch(function () {}).finally(function () { setTimeout(poll, 250); });
  }
  document.addEventListener('DOMContentLoaded', poll);
}
</script>
JS
        cat
    )
    ADDITION=$addition perl -0pi -e 's{</head>}{$ENV{ADDITION}\n</head>}' "$page"
}

cue() { printf '<!--demo:%s-->\n' "$1" >>"$state/pages/notice.html"; }

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

http_get() {
    local fd
    { exec {fd}<>"/dev/tcp/127.0.0.1/$webhost_port"; } 2>/dev/null || return 1
    printf 'GET %s HTTP/1.0\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n' "$1" >&"$fd"
    timeout 5 cat <&"$fd"
    exec {fd}>&-
}

# The greeting that the console gives the demo's seat (it greets only once logged in): a
# connection to the seat's own address comes from that address.
console_greeting() {
    local fd greeting
    { exec {fd}<>"/dev/tcp/$seat_ip/$console_port"; } 2>/dev/null || return 1
    # The greeting is code page 936 on the wire (a seat number may be Chinese).
    greeting=$(timeout 1 cat <&"$fd" | LC_ALL=C tr -d '\000' |
        LC_ALL=C grep -ao '&cid_murvel=[^[:cntrl:]]*' | iconv -f GBK -t UTF-8 2>/dev/null || true)
    exec {fd}>&-
    [[ -n $greeting ]] && printf '%s\n' "$greeting"
}

served() { grep -q "$1" "$out/webhost.log"; }

# serial|goods|quantity|amount|seat|address|state of the newest order of the shop.
newest_order() {
    http_get /wb/orders.jsp 2>/dev/null | grep -m1 'transid=' | sed -E \
        's#.*transid=([0-9]+)">[^<]*</a></td><td>([^<]*)</td><td>([^<]*)</td><td>([^<]*)</td><td>([^<]*)</td><td>([^<]*)</td><td>[^<]*</td><td><span[^>]*>([^<]*)</span>.*#\1|\2|\3|\4|\5|\6|\7#'
}

# The text of the console's last popup that holds the words.
popup() {
    grep '"kind":"popup"' "$out/console-dialogs.jsonl" 2>/dev/null | grep "$1" | tail -n 1 |
        sed -E 's/.*"text":"(.*)"\}$/\1/'
}
has_popup() { [[ -n $(popup "$1") ]]; }

# The text of the console's last seat viewer ("IP：address\n座号：seat", the line feed escaped).
seat_viewer() {
    grep '"caption":"座号查看器"' "$out/console-dialogs.jsonl" 2>/dev/null | tail -n 1 |
        sed -E 's/.*"text":"([^"]*)".*/\1/'
}
has_seat_viewer() { [[ -n $(seat_viewer) ]]; }

seat_page_holds() {
    local bytes
    bytes=$(printf '%s' "$1" | iconv -f UTF-8 -t GB2312)
    LC_ALL=C grep -qF "$bytes" "$state/seat/MyZentrova2.html" 2>/dev/null
}

shot() { import -display "$1" -window root "$out/$2" && note "screenshot: $out/$2"; }

# Waits for the command to succeed; notes what was seen, or the failure.
expect() {
    local seen=$1 missed=$2
    shift 2
    if wait_until "$wait_limit" "$@"; then
        note "$seen"
    else
        fail "$missed"
    fi
}

fail() {
    note "FAILED: $*"
    failed=1
}

# Starts a virtual screen; its display name goes into the variable named second.
start_xvfb() {
    local name=$1 number=$state/$1-display
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

    local pages=$repo/webhost/pages
    ((headless)) && pages=$state/pages
    launch webhost "$state" "$ZN_DEMO_BUILD/webhost/zentrova-webhost" --port "$webhost_port" \
        --pages "$pages" --releases "$repo/webhost/releases"
    wait_until 10 served "serving http" || { fail "the web host did not start"; exit 1; }
    note "web host: back office and shop at http://127.0.0.1:$webhost_port/ (demo / 1234)"

    launch console "$state/console" env DISPLAY="$counter_display" "${counter_env[@]}" \
        ./ZentrovaNubraConsole
    local greeting=""
    wait_until "$wait_limit" eval 'greeting=$(console_greeting)' ||
        { fail "the console did not log in to the back office"; exit 1; }
    note "console: logged in to the back office; the seat at $seat_ip is greeted with \"$greeting\""

    launch seat "$state/seat" env DISPLAY="$seat_display" "${seat_env[@]}" ./LaunchNubraClient
    local status
    wait_until "$wait_limit" launcher_ended ||
        { fail "the launcher did not start the seat client"; exit 1; }
    while IFS= read -r status; do
        note "launcher: (Esc键取消更新) $status"
    done < <(sed -n 's/.*Status: //p' "$out/seat.log")
    [[ -s $state/seat/Content/skin/seat.css && -s $state/seat/Version.xml ]] &&
        note "launcher: fetched the seat client's release into Content/ and started the client"
    wait_until "$wait_limit" served "GET /wb/indexc.jsp" ||
        { fail "the seat client did not open the shop"; exit 1; }
    note "seat: connected to the console and opened the shop page"

    if ((!headless)); then
        guide
        return 0
    fi
    drive
    sleep 2 # the last page paints
    shot "$counter_display" counter.png
    shot "$seat_display" seat.png
    note "transcript: $out/transcript.txt"
    ((failed == 0))
}

launcher_ended() { grep -q 'Client started' "$out/seat.log" 2>/dev/null; }

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

# Headless: the pages place the order and the message and complete the order on cue.
drive() {
    expect "seat: the shop page was opened with &first=1 and registered its trusted sites" \
        "the shop's trusted sites were not registered" \
        grep -qs 'ZoneMap' "$state/registry/HKEY_CURRENT_USER.reg"

    wait_until "$wait_limit" served "GET /wb/notice.html" ||
        { fail "the shop page does not look for the demo's cues"; return; }
    cue order
    local order=""
    wait_until "$wait_limit" eval 'order=$(newest_order) && [[ -n $order ]]' ||
        { fail "no order was placed in the shop"; return; }
    local serial goods quantity amount seat_name address state_text
    IFS='|' read -r serial goods quantity amount seat_name address state_text <<<"$order"
    note "customer: ordered $goods × $quantity ($amount): order $serial, seat $seat_name" \
        "($address) as the greeting put it into the shop's address"

    wait_until "$wait_limit" has_popup '商品购买请求' ||
        { fail "the counter did not announce the order"; return; }
    note "counter: popup \"$(popup '商品购买请求')\""
    sleep 1
    shot "$counter_display" counter-popup.png
    shot "$seat_display" seat-shop.png
    expect "counter: the console opened the order's transaction page" \
        "the console did not open the transaction page" \
        served "GET /jsp/empManage/noProcessInfo.jsp"
    expect "seat: received the notice page (MyZentrova2.html)" \
        "the seat did not receive the notice page" \
        seat_page_holds '服务台已收到信息'

    cue "viewseat:$serial"
    if wait_until "$wait_limit" has_seat_viewer; then
        note "counter: seat viewer (座位表) \"$(seat_viewer)\""
    else
        fail "the seat viewer did not open"
    fi
    check_addresses "$seat_name" "$address"

    cue message
    if wait_until "$wait_limit" has_popup '顾客消息'; then
        note "counter: popup \"$(popup '顾客消息')\""
    else
        fail "the customer's message did not reach the counter"
    fi
    grep -qs '您的信息已经发送至网吧收银台' "$out/seat-dialogs.jsonl" &&
        note "seat: told the customer the message was sent"

    cue "commit:$serial"
    wait_until "$wait_limit" served "GET /wb/send_trans_success.jsp" ||
        { fail "the cashier's completion did not go through"; return; }
    note "counter: cashier clicked 完成交易; the console sent the result and opened the success page"
    expect "seat: shows the result page: 交易成功, order $serial (MyZentrova2.html, GB2312)" \
        "the result did not reach the seat" \
        seat_page_holds '交易成功'
    IFS='|' read -r _ _ _ _ _ _ state_text <<<"$(newest_order)"
    note "back office: order $serial is now \"$state_text\""
}

# The popup, the order page, the seat viewer and SeatList.xml name one seat address and seat.
check_addresses() {
    local order_seat=$1 order_address=$2 popup_text viewer seen=()
    popup_text=$(popup '商品购买请求')
    viewer=$(seat_viewer)
    [[ $popup_text == *"客户 ${seat_ip}[座号：${order_seat}]"* ]] || seen+=("popup \"$popup_text\"")
    [[ $order_address == "$seat_ip" ]] || seen+=("order page $order_address")
    [[ $viewer == "IP：$seat_ip\\n座号：${order_seat:-未知}" ]] || seen+=("seat viewer \"$viewer\"")
    grep -qF "IP=\"$seat_ip\"" "$state/console/SeatList.xml" || seen+=("SeatList.xml without it")
    if ((${#seen[@]})); then
        fail "the addresses disagree: the seat is at $seat_ip, but ${seen[*]}"
    else
        note "addresses agree: the popup, the order page, the seat viewer and SeatList.xml all" \
            "name the seat at $seat_ip (seat ${order_seat:-未知})"
    fi
}

main() {
    local mode=auto build="" stage=outside
    while (($#)); do
        case $1 in
            --headless) mode=headless ;;
            --build-dir)
                build=${2:?--build-dir needs a folder}
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
        outside) outside "$mode" "$build" ;;
        inside) inside ;;
        run) run ;;
    esac
}

main "$@"
