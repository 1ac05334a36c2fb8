#!/bin/sh
# The network and mount namespace a test NetworkManager runs in (started by the test fixture
# as `unshare --net --mount --propagation private nm_netns.sh DIR`): NetworkManager's
# directories and /etc/ppp are private directories under DIR, sysfs is this namespace's own
# and read-only (NetworkManager then manages devices without udev), and a veth pair stands
# for the line: veth-line for the connections, its peer unmanaged. Prints "ready", then
# holds the namespace until it is killed.
set -eu
dir=$1
mount -t sysfs -o ro sysfs /sys
for target in /run/NetworkManager /var/lib/NetworkManager /etc/NetworkManager /etc/ppp; do
  private=$dir/$(echo "$target" | tr / _)
  mkdir -p "$private" "$target"
  mount --bind "$private" "$target"
done
ip link set lo up
ip link add veth-line type veth peer name veth-peer
ip link set veth-peer up
echo ready
exec sleep infinity
