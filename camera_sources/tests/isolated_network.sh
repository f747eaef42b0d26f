#!/bin/sh
# isolated_network.sh RESOLV_CONF COMMAND...
# Runs COMMAND in a network where 10.9.0.2 is a host that never answers and is also the only
# name server. Run it under `unshare --net --mount` (as root): the link, the neighbour entry and
# the bind mount over /etc/resolv.conf exist only in those namespaces. Exits 77 when the
# namespace cannot be set up.
set -eu
resolv=$1
shift
ip link set lo up || exit 77
ip link add tessel0 type veth peer name tessel1 || exit 77
ip addr add 10.9.0.1/24 dev tessel0
ip link set tessel0 up
ip link set tessel1 up
# A neighbour that nobody is: frames to 10.9.0.2 leave on the link and nothing ever answers.
ip neigh add 10.9.0.2 lladdr 02:00:00:00:00:01 dev tessel0
echo "nameserver 10.9.0.2" > "$resolv"
mount --bind "$resolv" /etc/resolv.conf || exit 77
exec "$@"
