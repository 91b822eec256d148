#!/usr/bin/env bash
# test-drives.sh up|down TREE: gives the Wine prefix of the Windows build tree
# TREE drives for the end-to-end tests: Q: (a 1 MiB tmpfs, too small to
# install on), R: (a 4200 MiB tmpfs, more free bytes than 32 bits hold;
# tmpfs reserves nothing, so it costs no memory), S: (a 48 MiB tmpfs: room
# for the free-space check with the staged payload and its archive on the
# same drive; a row fills it after the check, so that it fills during the
# extraction); T:, U:
# and V: (tmpfs of 5160, 5161 and 5162 pages of 4 KiB: the free space just
# below, at and just above the sample game's requirement of 21,136 units of
# 1000 bytes, its files on 4 KiB clusters; Wine reports free space in
# clusters of 4 KiB on any file system, so no drive comes closer); W: (a link to a folder that does not exist: its
# free space cannot be read); and every other letter not yet in use (a link
# to one empty folder), so that the system has all 26 drives. Run it while no wineserver runs for
# the prefix: Wine lists a new drive letter only after a restart.
# Mounting needs root; without it, or when a mount fails, no drive is linked
# and the drive scenarios report themselves skipped. Both actions are
# idempotent and exit 0.
set -euo pipefail
case "$#:${1:-}" in
  2:up | 2:down) ;;
  *) echo "usage: test-drives.sh up|down TREE" >&2; exit 2 ;;
esac
action="$1"
tree="$(cd "$2" && pwd)"
prefix="$tree/wineprefix"
drives=("q small 1m" "r big 4200m" "s fill 48m" "t below 20640k" "u at 20644k" "v above 20648k")
unreadable=w

down() {
  local letter name size dir
  for d in "${drives[@]}"; do
    read -r letter name size <<<"$d"
    dir="$tree/drives/$name"
    rm -f "$prefix/dosdevices/$letter:" || true
    if mountpoint -q "$dir"; then
      # A process still holding a file there must not keep the mount alive.
      umount "$dir" 2>/dev/null || umount -l "$dir" || echo "test-drives: cannot unmount $dir" >&2
    fi
    rmdir "$dir" 2>/dev/null || true
  done
  # Only the links made here: those that point into the drives folder.
  for link in "$prefix"/dosdevices/?:; do
    case "$(readlink "$link" 2>/dev/null)" in "$tree/drives/"*) rm -f "$link" ;; esac
  done
  rmdir "$tree/drives/empty" "$tree/drives" 2>/dev/null || true
}

# Wine's server works in a directory named after the prefix's device and inode.
server_running() {
  local id
  id="server-$(printf '%x-%x' "$(stat -c %d "$prefix")" "$(stat -c %i "$prefix")")"
  for pid in $(pgrep wineserver || true); do
    case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in */"$id") return 0 ;; esac
  done
  return 1
}

if [ "$action" = down ]; then
  down
  exit 0
fi

skip() {
  echo "test-drives: $1: no test drives, the drive scenarios will be skipped" >&2
  down
  exit 0
}
[ "$(id -u)" = 0 ] || skip "not root"
[ -d "$prefix/dosdevices" ] || skip "no Wine prefix at $prefix"
server_running && echo "test-drives: a wineserver runs for $prefix: it will not list the drives until it restarts" >&2
for d in "${drives[@]}"; do
  read -r letter name size <<<"$d"
  dir="$tree/drives/$name"
  mkdir -p "$dir"
  if ! mountpoint -q "$dir"; then
    mount -t tmpfs -o "size=$size,mode=0777" tmpfs "$dir" || skip "mounting a $size tmpfs on $dir failed"
  fi
  ln -sfn "$dir" "$prefix/dosdevices/$letter:"
done
ln -sfn "$tree/drives/missing" "$prefix/dosdevices/$unreadable:"
mkdir -p "$tree/drives/empty"
for letter in {a..z}; do
  [ -e "$prefix/dosdevices/$letter:" ] || [ -L "$prefix/dosdevices/$letter:" ] ||
    ln -s "$tree/drives/empty" "$prefix/dosdevices/$letter:"
done
echo "test-drives: Q: = $tree/drives/small (1 MiB), R: = $tree/drives/big (4200 MiB), S: = $tree/drives/fill (48 MiB)," \
  "T:, U:, V: = 5160, 5161, 5162 pages, W: unreadable, the other free letters = $tree/drives/empty"
