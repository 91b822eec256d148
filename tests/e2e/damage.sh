#!/usr/bin/env bash
# damage.sh MODE IN OUT: a damaged copy of the payload's gzip file for the
# test installers. flipped: one byte in the middle of the compressed data
# inverted; cut: the first half only.
set -euo pipefail
mode="$1" in="$2" out="$3"
size=$(stat -c %s "$in")
case "$mode" in
  flipped)
    cp "$in" "$out.tmp"
    at=$((size / 2))
    byte=$(od -An -tu1 -j "$at" -N1 "$in" | tr -d ' ')
    printf "\\$(printf %03o $((byte ^ 0xFF)))" | dd of="$out.tmp" bs=1 seek="$at" conv=notrunc status=none
    ;;
  cut) head -c $((size / 2)) "$in" >"$out.tmp" ;;
  *) echo "damage.sh: unknown mode $mode" >&2; exit 2 ;;
esac
mv "$out.tmp" "$out"
