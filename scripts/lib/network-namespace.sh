# shellcheck shell=bash
# Sourced by the demo and the package check, inside a network namespace of their own: brings up
# loopback and a pair of linked interfaces that gives the namespace an address besides loopback (a
# seat client wants one). The pair leads nowhere, so a broadcast stays in the namespace.
#   isolate_network PREFIX [ADDRESS]   (interfaces PREFIX0 and PREFIX1; address 10.77.0.1)
isolate_network() {
    local prefix=$1 address=${2:-10.77.0.1}
    ip link set lo up
    ip link add "${prefix}0" type veth peer name "${prefix}1"
    ip addr add "$address/24" brd + dev "${prefix}0"
    ip link set "${prefix}0" up
    ip link set "${prefix}1" up
    ip route add default dev "${prefix}0"
}
