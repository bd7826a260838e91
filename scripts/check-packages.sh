#!/usr/bin/env bash
# Checks the Debian packages on this machine: builds them, runs lintian, installs them and
# installs them again over themselves, checks who may write which folder, runs one order through
# the installed console and seat (offscreen, as an account of the group zentrova, in a network
# namespace of its own with loopback only; the seat's update service as zentrova-update), checks
# that the customer can change nothing the update service wrote, removes, reinstalls and purges
# them, and checks that nothing of theirs is left outside the state folders.
#   scripts/check-packages.sh [BUILD_FOLDER]   default build/default, configured and built
# Needs root. Refuses to run while any of the packages is installed.
set -euo pipefail

# Inside the namespace: loopback, and a pair of links that leads nowhere for the seat's own
# address; the installed web host at the port and the seat's update service at the socket its
# settings name (as systemd would start them), then the order's road (the command after it).
if [[ ${1:-} == --inside ]]; then
    work=$2 port=$3
    shift 3
    # shellcheck source=lib/network-namespace.sh
    source "$(dirname "$0")/lib/network-namespace.sh"
    isolate_network zn-check
    setpriv --reuid=nobody --regid=nogroup --clear-groups zentrova-webhost --port "$port" \
        --releases /usr/share/zentrova-webhost/releases >"$work/webhost.log" 2>&1 &
    webhost=$!
    mkdir -p /run/zentrova-seat-update
    chown zentrova-update:zentrova-update /run/zentrova-seat-update
    (umask 022 && exec env -i PATH=/usr/bin:/bin HOME=/nonexistent \
        setpriv --reuid=zentrova-update --regid=zentrova-update --clear-groups \
        /opt/zentrova/seat/zentrova-seat-update --listen /run/zentrova-seat-update/socket) \
        >"$work/seat-update.log" 2>&1 &
    service=$!
    status=0
    setpriv --reuid=nobody --regid=nogroup --groups=zentrova "$@" || status=$?
    kill "$webhost" "$service"
    wait "$webhost" "$service" || true
    rm -rf /run/zentrova-seat-update
    exit "$status"
fi

script=$(realpath "$0")
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/default}" && pwd)
packages=(zentrova-counter zentrova-seat zentrova-webhost)
counter=/opt/zentrova/counter
seat=/opt/zentrova/seat
webhost_port=8281 # the front of the order's road takes 8280, the programs' default
step_limit=300 # seconds for any one step; the order's road included

started=$SECONDS
note() { printf '[%4ds] %s\n' $((SECONDS - started)) "$*"; }
fail() {
    note "FAILED: $*"
    exit 1
}

# Installed, or removed with its configuration files kept.
known_to_dpkg() {
    local status
    status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null) && [[ $status != u* ]]
}

[[ $(id -u) -eq 0 ]] || fail "needs root (it installs packages)"
unshare -n true 2>/dev/null || fail "cannot make a network namespace"
for package in "${packages[@]}"; do
    if known_to_dpkg "$package"; then
        fail "$package is installed here already; purge it first"
    fi
done

work=$(mktemp -d /tmp/zn-check-packages.XXXXXX)
chmod 755 "$work"
stamp=$work/stamp
touch "$stamp"

# Whatever happens, nothing of ours stays installed or running.
programs_under_opt() {
    local link
    for link in /proc/[0-9]*/exe; do
        [[ $(readlink "$link" 2>/dev/null) == /opt/zentrova/* ]] &&
            { link=${link#/proc/}; echo "${link%/exe}"; }
    done
    return 0
}
clean_up() {
    local pid
    for pid in $(programs_under_opt); do kill -KILL "$pid" 2>/dev/null || true; done
    for package in "${packages[@]}"; do
        if known_to_dpkg "$package"; then
            timeout 120 dpkg -P "$package" >/dev/null 2>&1 || true
        fi
    done
    rm -rf "$work" /run/zentrova-seat-update
}
trap clean_up EXIT

note "building the packages"
timeout "$step_limit" cmake --build "$build" --target zn_package_files zn_installed_road >/dev/null
rm -rf "$build/packages"
(cd "$build" && timeout "$step_limit" cpack -G DEB >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; fail "cpack"; }
debs=()
for package in "${packages[@]}"; do
    debs+=("$(ls "$build"/packages/"${package}"_*.deb)")
done
note "built: ${debs[*]##*/}"

timeout "$step_limit" lintian --fail-on error "${debs[@]}" >"$work/lintian.log" 2>&1 ||
    { cat "$work/lintian.log"; fail "lintian"; }
note "lintian: no errors ($(grep -c '^W:' "$work/lintian.log" || true) warnings)"

# Every path the packages ship that is not there yet, to look for after the purge.
for deb in "${debs[@]}"; do
    dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|; s|/$||'
done | sort -u | while IFS= read -r path; do
    [[ -z $path || -e $path || -L $path ]] || echo "$path"
done >"$work/new-paths"

run_dpkg() {
    timeout "$step_limit" dpkg "$@" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg $1"; }
}
install_all() { run_dpkg -i "${debs[@]}"; }
install_all
install_all
note "installed, and installed again over themselves"

# Who may write which folder: "nobody" stands in for an account outside the group and, with the
# group zentrova, for the cashier's account and the seat's session account.
outsider() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
member() { setpriv --reuid=nobody --regid=nogroup --groups=zentrova "$@"; }
expect_denied() { if "$@" 2>/dev/null; then fail "allowed: ${*: -3}"; fi; }
expect_mode() { [[ $(stat -c '%U:%G %a' "$1") == "$2" ]] || fail "$1 is $(stat -c '%U:%G %a' "$1")"; }
expect_mode "$counter" "root:zentrova 2770"
expect_mode "$counter/Content" "root:zentrova 2770"
expect_mode "$seat" "root:zentrova 3775"
expect_mode "$seat/Content" "zentrova-update:zentrova-update 755"
expect_mode "$seat/Release" "zentrova-update:zentrova-update 755"
expect_denied outsider ls "$counter"
expect_denied outsider touch "$seat/Content/probe"
expect_denied member mv "$seat/LaunchNubraClient" "$seat/replaced"
expect_denied member mv "$seat/zentrova-seat-update" "$seat/replaced"
expect_denied member rm -f "$seat/ZentrovaNubraClient_Murvel"
expect_denied member ln -sf /tmp/elsewhere "$seat/serverip.ini"
# The customer (the seat's session account) makes no record and plants no file before the
# update service does.
expect_denied member touch "$seat/Content/probe"
expect_denied member sh -c "echo '<R><Version_File Update=\"9999\"/></R>' >'$seat/Release/Version.xml'"
expect_denied member mv "$seat/Release" "$seat/Release.moved"
member touch "$seat/probe" "$counter/probe" || fail "a member cannot write the program folders"
if ! member mv "$counter/zentrova-listen" "$counter/zentrova-listen.moved" ||
    ! member mv "$counter/zentrova-listen.moved" "$counter/zentrova-listen"; then
    fail "a member cannot replace the counter's program files"
fi
rm -f "$seat/probe" "$counter/probe"
note "folders: counter root:zentrova 2770, seat root:zentrova 3775 with Content/ and Release/ zentrova-update's 755; members write, seats' program files stay root's"

# A seat from before the update service, whose Content/ and record the session account wrote:
# the upgrade drops both, so the service fetches the release afresh.
dpkg-statoverride --remove "$seat/Content"
dpkg-statoverride --update --add root zentrova 3775 "$seat/Content"
member sh -c "echo planted >'$seat/Content/seat.css' && echo 9999 >'$seat/Version.xml'" ||
    fail "cannot set up a seat from before the update service"
install_all
expect_mode "$seat/Content" "zentrova-update:zentrova-update 755"
[[ ! -e $seat/Content/seat.css && ! -e $seat/Version.xml ]] ||
    fail "the upgrade kept what the session account wrote into Content/ or the record"
note "upgraded a seat from before the update service: the session account's Content/ and record dropped"

# Verification on, as the guide has the administrator set it: the seat takes the sample release
# only with the signatures the build made.
printf '\r\nUpdatePublicKey=%s\r\n' "$(sed -n 2p /usr/share/zentrova-webhost/sample-release-key.pub)" \
    >>/etc/opt/zentrova/seat/gameclient.dat

# The order's road, in a namespace whose only way out is a pair of links that leads nowhere.
mkdir -p "$work/home" "$work/tmp"
chown nobody:nogroup "$work/home" "$work/tmp"
note "one order through the installed programs"
road=(env -i PATH=/usr/bin:/bin HOME="$work/home" TMPDIR="$work/tmp" LANG=C.UTF-8
    "$build/tests/e2e/packages/zn_installed_road" "$counter" "$seat" "$webhost_port")
if ! timeout -k 10 "$step_limit" unshare -n "$script" --inside "$work" "$webhost_port" "${road[@]}"; then
    cat "$work/webhost.log"
    fail "the order's road"
fi
[[ -s $seat/Content/skin/seat.css ]] || fail "the update service did not take the signed release into Content/"
[[ -s $seat/Release/Version.xml && ! -e $seat/Version.xml ]] ||
    fail "the update service did not record the release in Release/"
foreign=$(find "$seat/Content" "$seat/Release" ! -user zentrova-update)
[[ -z $foreign ]] || fail "not the update service's: $foreign"
# What a customer would do next: pin the release, change or swap a fetched file.
expect_denied member sh -c "echo '<R><Version_File Update=\"9999\"/></R>' >'$seat/Release/Version.xml'"
expect_denied member rm -f "$seat/Release/Version.xml"
expect_denied member sh -c "echo 'body{}' >>'$seat/Content/skin/seat.css'"
expect_denied member mv "$seat/Content/skin/seat.css" "$seat/Content/skin/seat.old"
expect_denied member ln -s /tmp/elsewhere "$seat/Content/skin/planted.css"
note "the update service fetched and recorded the release; the customer can change neither"

run_dpkg -r "${packages[@]}"
[[ ! -e $counter/ZentrovaNubraConsole && -e $counter/SeatList.xml ]] ||
    fail "removing should take the programs and keep the console's settings files"
note "removed: programs gone, the console's settings files kept until the purge"
install_all
run_dpkg -P "${packages[@]}"

# Left behind: a path that the packages brought, the program or settings folders, the group,
# stat overrides, or anything new of such a name in the system's folders.
left=()
while IFS= read -r path; do
    [[ -e $path || -L $path ]] && left+=("$path")
done <"$work/new-paths"
for path in /opt/zentrova /etc/opt/zentrova; do [[ -e $path ]] && left+=("$path"); done
getent group zentrova >/dev/null && left+=("group zentrova")
getent passwd zentrova-update >/dev/null && left+=("account zentrova-update")
getent group zentrova-update >/dev/null && left+=("group zentrova-update")
dpkg-statoverride --list | grep -q zentrova && left+=("stat overrides")
while IFS= read -r path; do left+=("$path"); done < <(find /opt /etc /usr /var/lib -xdev -newer "$stamp" \
    \( -iname '*zentrova*' -o -name '*Nubra*' \) -not -path '/var/lib/dpkg/*' 2>/dev/null)
((${#left[@]} == 0)) || fail "left after the purge: ${left[*]}"
note "purged: nothing of theirs left outside the state folders"
