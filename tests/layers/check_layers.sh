#!/usr/bin/env bash
# Fails when product code reaches up or sideways: shell/ (bottom) includes
# and links nothing of the subsystems; a subsystem (payload/, location/,
# shortcuts/) only shell/ and itself; setup/ (top) anything below it. The
# uninstaller (uninstall/) is a top-layer program too, shipped inside every
# installation: it reaches only shell/ and itself, and the two programs never
# reach each other. The resource ids in resources/ are shared by every layer.
# Rules libraries (*_rules.*) stay free of <windows.h> so they build natively.
set -uo pipefail
root="${1:-$(cd "$(dirname "$0")/../.." && pwd)}"
cd "$root" || exit 2

layer_of() { # folder -> layer, or nothing for folders outside the product
  case "$1" in
    shell) echo 0 ;;
    payload | location | shortcuts) echo 1 ;;
    setup | uninstall) echo 2 ;;
  esac
}

status=0
fail() { echo "layer check: $*"; status=1; }

allowed() { # from-folder to-folder
  local from="$1" to="$2" lf lt
  [ "$from" = "$to" ] || [ "$to" = resources ] && return 0
  # It removes an installation: none of the installer's pages belong in it.
  [ "$from" = uninstall ] && { [ "$to" = shell ]; return; }
  lf=$(layer_of "$from"); lt=$(layer_of "$to")
  [ -n "$lt" ] && [ "$lt" -lt "$lf" ]
}

nfiles=0
for dir in shell payload location shortcuts setup uninstall; do
  [ -d "$dir" ] || continue
  for file in "$dir"/*.h "$dir"/*.cpp; do
    [ -f "$file" ] || continue
    nfiles=$((nfiles + 1))
    while IFS= read -r inc; do
      to="${inc%%/*}"
      [ "$to" = "$inc" ] && { fail "$file includes \"$inc\" without its folder"; continue; }
      allowed "$dir" "$to" || fail "$file includes \"$inc\" ($dir may not reach $to)"
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
    case "$file" in
      *_rules.h | *_rules.cpp)
        grep -q '^[[:space:]]*#[[:space:]]*include[[:space:]]*<windows.h>' "$file" &&
          fail "$file is a rules file but includes <windows.h>" ;;
    esac
  done
done
[ "$nfiles" -gt 0 ] || fail "no product sources under $root"

# Libraries: which folder defines each quarnel_* target, then every link of a
# product target must point at its own folder or a lower layer.
declare -A owner
for dir in shell payload location shortcuts setup uninstall; do
  [ -f "$dir/CMakeLists.txt" ] || continue
  for t in $(sed -n 's/^[[:space:]]*add_\(library\|executable\)(\([A-Za-z0-9_]*\).*/\2/p' "$dir/CMakeLists.txt"); do
    owner[$t]=$dir
  done
done
for dir in shell payload location shortcuts setup uninstall; do
  [ -f "$dir/CMakeLists.txt" ] || continue
  # One link command per line once continuation lines are joined.
  while IFS= read -r line; do
    for lib in $(grep -o 'quarnel_[A-Za-z0-9_]*' <<<"${line#*(}"); do
      [ "$lib" = quarnel_resources ] && continue
      to="${owner[$lib]:-}"
      [ -n "$to" ] || { fail "$dir/CMakeLists.txt links $lib, which no product folder defines"; continue; }
      allowed "$dir" "$to" || fail "$dir/CMakeLists.txt links $lib of $to ($dir may not reach $to)"
    done
  done < <(tr '\n' ' ' < "$dir/CMakeLists.txt" | grep -o 'target_link_libraries([^)]*)')
done

[ $status -eq 0 ] && echo "layer check: $nfiles files, every include and link points where its layer may reach"
exit $status
