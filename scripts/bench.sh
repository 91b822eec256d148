#!/usr/bin/env bash
# Times the installer against a peer installer of the same game files, made
# with makensis (solid zlib), in one run on this machine, and prints medians
# (ms) and ratios.
#
# First the file that ships: the release's i686 setup.exe (scripts/release.sh)
# under 32-bit Wine against the peer's x86 build, from process start to the
# first page on screen (bench_firstpage.exe) and through a whole installation
# driven with the default choices (bench_install.exe), both on a 1920x1080
# screen, runs interleaved. The peer shows a licence page, then installs the
# files and makes the same four shortcuts and six registry values.
#
# Then the x86_64 build of the same sources under wine64:
#   unpacking  bench_payload.exe: GunzipFile, ExtractPayloadArchive and their
#              sum, timed inside the process; bench_copy.exe: the copy page's
#              whole run (staging, decompression, extraction with the progress
#              bar, removal of the temporary files), and the working set of its
#              first run against the program's baseline and the largest
#              record; against gzip -dc and tar -xzf (native) and a silent
#              NSIS installer, whole process, raw and less the start-to-exit
#              time of an empty program (bench_noop.exe);
#   backdrop   CreateBackdrop and its dimming loop alone at 1024x768,
#              1920x1080 and 3840x2160 (bench_backdrop.exe);
#   pages      the first page and the whole installation as above, against the
#              peer's amd64 build, with an empty program showing one window
#              (bench_window.exe, normal and full-screen) beside them.
#
# With --scale, the same on a publisher-sized game generated from the sample
# game (79 files, 215 MB, compressing to about 140 MB, the largest 15 MB), in
# trees of its own under $QUARNEL_BUILD_DIR/scale; the backdrop is left out.
#
# Usage: scripts/bench.sh [--scale] [RUNS]   (default 7; QUARNEL_BENCH_RUNS
# works too). The trees are $QUARNEL_BUILD_DIR (default build): win64 and
# release, built with scripts/build.sh and scripts/release.sh when missing.
set -euo pipefail
export LC_ALL=C
self="$(readlink -f "${BASH_SOURCE[0]}")"
root="$(cd "$(dirname "$self")/.." && pwd)"

# The size of an interval between two $EPOCHREALTIME readings, in µs. Reading
# the variable forks nothing, so the interval holds only the timed command.
elapsed_us() { echo $((${2/[.,]/} - ${1/[.,]/})); }

# Median of µs figures on stdin, in ms.
median_ms() {
  sort -n | awk '{ v[NR] = $1 }
    END { if (NR == 0) exit 1
          m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
          printf "%.2f", m / 1000 }'
}

fail() { echo "bench: $*" >&2; exit 1; }

# Fails unless DIR holds exactly the game's files with the same contents.
check_tree() { # dir, what
  local n
  n=$(find "$1" -type f | wc -l)
  [ "$n" -eq "$record_count" ] || fail "$2 wrote $n files into $1, expected $record_count"
  diff -rq -x manifest.txt "$game" "$1" >/dev/null || fail "$2 wrote files that differ from $game"
}

wine_path() { local p="${1//\//\\}"; echo "Z:$p"; }

# The timed part, run inside one wine session (the environment of
# scripts/wine-env.sh is set): every figure comes from the same machine state.
measure() {
  local i t0 t1 out
  # Every program writes below the prefix's C: drive, where the NSIS
  # installer puts its files, so all of them write to the same file system.
  local scratch_unix="$WINEPREFIX/drive_c/quarnel-bench" scratch_win='C:\quarnel-bench'
  rm -rf "$scratch_unix"
  mkdir -p "$scratch_unix/ours" "$scratch_unix/native" "$scratch_unix/copy/temp"
  trap "rm -rf $(printf %q "$scratch_unix")" EXIT
  local -a noop=() gz=() tar=() nsis=()

  for ((i = 1; i <= runs; i++)); do
    t0=$EPOCHREALTIME
    "$WINE64" "$tree/bench/bench_noop.exe" </dev/null >/dev/null
    t1=$EPOCHREALTIME
    noop+=("$(elapsed_us "$t0" "$t1")")
  done

  out=$("$WINE64" "$tree/bench/bench_payload.exe" "$(wine_path "$payload_gz")" "$scratch_win\\ours" "$runs" \
    </dev/null 2>"$work/bench_payload.log") || { cat "$work/bench_payload.log" >&2; fail "bench_payload.exe failed"; }
  out=${out//$'\r'/}
  ours_gunzip=$(sed -n 's/^gunzip_ms=//p' <<<"$out")
  ours_extract=$(sed -n 's/^extract_ms=//p' <<<"$out")
  ours_total=$(sed -n 's/^total_ms=//p' <<<"$out")
  [ -n "$ours_gunzip" ] && [ -n "$ours_extract" ] && [ -n "$ours_total" ] || fail "unexpected output of bench_payload.exe: $out"

  out=$("$WINE64" "$tree/bench/bench_copy.exe" "$(wine_path "$tree/setup.exe")" "$scratch_win\\copy\\inst" \
    "$scratch_win\\copy\\temp" "$runs" </dev/null 2>"$work/bench_copy.log") ||
    { cat "$work/bench_copy.log" >&2; fail "bench_copy.exe failed"; }
  out=${out//$'\r'/}
  local key
  for key in copy_ms payload_kib largest_record_kib baseline_ws_kib baseline_peak_ws_kib peak_ws_kib \
    anon_baseline_kib anon_after_kib; do
    printf -v "$key" '%s' "$(sed -n "s/^$key=//p" <<<"$out")"
    [ -n "${!key}" ] || fail "unexpected output of bench_copy.exe: $out"
  done
  # The last run's tree. The page also makes an empty AImages directory,
  # which the game tree does not have; rmdir takes it only when empty.
  rmdir "$scratch_unix/copy/inst/AImages" || fail "the copy page left no empty AImages directory"
  check_tree "$scratch_unix/copy/inst" "the copy page"

  local dat="$scratch_unix/native/filesdata.dat"
  for ((i = 1; i <= runs; i++)); do
    t0=$EPOCHREALTIME
    gzip -dc "$payload_gz" >"$dat"
    t1=$EPOCHREALTIME
    gz+=("$(elapsed_us "$t0" "$t1")")
    cmp -s "$dat" "$payload_archive" || fail "gzip -dc output differs from $payload_archive"
    rm -f "$dat"
  done

  for ((i = 1; i <= runs; i++)); do
    local dir="$scratch_unix/native/tar_$i"
    mkdir "$dir"
    t0=$EPOCHREALTIME
    tar -xzf "$work/game.tar.gz" -C "$dir"
    t1=$EPOCHREALTIME
    tar+=("$(elapsed_us "$t0" "$t1")")
    check_tree "$dir" "tar -xzf"
    rm -rf "$dir"
  done

  for ((i = 1; i <= runs; i++)); do
    # /D= must be the last argument and is taken unquoted, up to the end.
    t0=$EPOCHREALTIME
    "$WINE64" "$work/peer-setup.exe" /S "/D=$scratch_win\\peer_$i" </dev/null >/dev/null 2>&1 ||
      fail "the NSIS installer exited with status $?"
    t1=$EPOCHREALTIME
    nsis+=("$(elapsed_us "$t0" "$t1")")
    check_tree "$scratch_unix/peer_$i" "the NSIS installer"
    rm -rf "$scratch_unix/peer_$i"
  done

  local noop_ms gz_ms tar_ms nsis_ms nsis_net_ms
  noop_ms=$(printf '%s\n' "${noop[@]}" | median_ms)
  gz_ms=$(printf '%s\n' "${gz[@]}" | median_ms)
  tar_ms=$(printf '%s\n' "${tar[@]}" | median_ms)
  nsis_ms=$(printf '%s\n' "${nsis[@]}" | median_ms)
  nsis_net_ms=$(awk -v a="$nsis_ms" -v b="$noop_ms" 'BEGIN { printf "%.2f", a - b }')

  echo "== Payload unpacking, $runs runs each, medians in ms (${cpu}, $(nproc) CPUs, $("$WINE64" --version)) =="
  printf '%-62s %9s\n' \
    "ours: GunzipFile (in-process, wine64)" "$ours_gunzip" \
    "ours: ExtractPayloadArchive (in-process, wine64)" "$ours_extract" \
    "ours: together" "$ours_total" \
    "ours: copy page, whole run (in-process, wine64)" "$copy_ms" \
    "gzip -dc filesdata.gz > file (native)" "$gz_ms" \
    "tar -xzf game.tar.gz into a fresh directory (native)" "$tar_ms" \
    "NSIS silent install, whole wine64 process (raw)" "$nsis_ms" \
    "wine64 start-to-exit of an empty console program" "$noop_ms" \
    "NSIS silent install, less that start-up (net)" "$nsis_net_ms"
  echo "== Ratio ours together / peer (below 1: ours is faster) =="
  printf '%-62s %9s\n' \
    "vs gzip -dc" "$(ratio "$ours_total" "$gz_ms")" \
    "vs tar -xzf" "$(ratio "$ours_total" "$tar_ms")" \
    "vs NSIS raw" "$(ratio "$ours_total" "$nsis_ms")" \
    "vs NSIS net" "$(ratio "$ours_total" "$nsis_net_ms")" \
    "(same work only: ours GunzipFile / gzip -dc)" "$(ratio "$ours_gunzip" "$gz_ms")"
  echo "== Ratio ours copy page run / peer (below 1: ours is faster) =="
  printf '%-62s %9s\n' \
    "vs tar -xzf" "$(ratio "$copy_ms" "$tar_ms")" \
    "vs NSIS raw" "$(ratio "$copy_ms" "$nsis_ms")" \
    "vs NSIS net" "$(ratio "$copy_ms" "$nsis_net_ms")"
  # Under Wine the working set is the Unix process's resident set, file-backed
  # pages included, and its peak the kernel's high-water mark. The baseline is
  # taken after a warm-up that leaves what the earlier pages would. The
  # payload's pages of the mapped setup.exe may or may not be resident by then
  # (at scale they were, here), so the growth is the run's own memory,
  # plus those pages when they were not.
  local growth=$((peak_ws_kib - baseline_ws_kib))
  echo "== Copy page, first run: working set (resident set under wine64), KiB =="
  printf '%-62s %9s\n' \
    "program's baseline (warmed up, before the run)" "$baseline_ws_kib" \
    "peak during the run" "$peak_ws_kib" \
    "growth over the baseline" "$growth" \
    "setup.exe's payload resource (file-backed pages)" "$payload_kib" \
    "largest record (goal: growth = this + small buffers" "$largest_record_kib" \
    "  + the payload's pages when not resident before)" "" \
    "anonymous memory kept after all runs (vs baseline)" "$((anon_after_kib - anon_baseline_kib))"
  [ "$peak_ws_kib" -gt "$baseline_peak_ws_kib" ] ||
    echo "(the warm-up's peak of $baseline_peak_ws_kib KiB was not passed: the run's own peak is lower)"
  echo "bench: per-run figures of ours in $work/bench_payload.log and $work/bench_copy.log"
}

# a / b to two places (0 when b is 0).
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

# Reads KEY=value lines of a benchmark program's output into variables KEY.
read_figures() { # output, program, keys...
  local out="$1" program="$2" key
  shift 2
  for key in "$@"; do
    printf -v "$key" '%s' "$(sed -n "s/^$key=//p" <<<"$out")"
    [ -n "${!key}" ] || fail "unexpected output of $program: $out"
  done
}

# On a 3840x2160 screen: the smaller sizes capture part of it.
measure_backdrop() {
  local out size
  out=$("$WINE64" "$tree/bench/bench_backdrop.exe" "$runs" </dev/null 2>"$work/bench_backdrop.log") ||
    { cat "$work/bench_backdrop.log" >&2; fail "bench_backdrop.exe failed"; }
  out=${out//$'\r'/}
  echo "== Backdrop at more than 8 bits per pixel, $runs runs each, medians in ms =="
  for size in 1024x768 1920x1080 3840x2160; do
    local "create_ms_$size" "dim_ms_$size"
    read_figures "$out" bench_backdrop.exe "create_ms_$size" "dim_ms_$size"
    printf '%-62s %9s\n' "CreateBackdrop $size (capture to title)" "$(eval echo "\$create_ms_$size")" \
      "  of it the dimming loop alone" "$(eval echo "\$dim_ms_$size")"
  done
}

build_note() { if [ "$1" = i686 ]; then echo ", the shipped file"; else echo ", the same sources"; fi; }

# On a 1920x1080 screen; $1 names the build timed (i686 or x86_64), $2 and $3
# are its setup.exe and the NSIS peer of the same machine type. The empty
# programs are timed beside the x86_64 build only.
measure_firstpage() {
  local what="$1" setup_exe="$2" peer_exe="$3" out window_ms="" fullscreen_ms="" setup_ms nsis_ms
  local -a empty=()
  [ "$what" != x86_64 ] || empty=(window "$(wine_path "$tree/bench/bench_window.exe")" - BenchWindow -
    fullscreen "$(wine_path "$tree/bench/bench_window.exe")" full BenchWindow -)
  out=$("$WINE64" "$tree/bench/bench_firstpage.exe" "$runs" "${empty[@]}" \
    setup "$(wine_path "$setup_exe")" - '#32770' Edit \
    nsis "$(wine_path "$peer_exe")" - '#32770' RichEdit \
    </dev/null 2>"$work/bench_firstpage_$what.log") ||
    { cat "$work/bench_firstpage_$what.log" >&2; fail "bench_firstpage.exe failed"; }
  out=${out//$'\r'/}
  read_figures "$out" bench_firstpage.exe setup_ms nsis_ms
  echo "== $what$(build_note "$what"): process start to first page on a 1920x1080 screen, $runs runs each (interleaved), medians in ms =="
  printf '%-62s %9s\n' \
    "setup.exe: agreement page painted (over its backdrop)" "$setup_ms" \
    "NSIS installer: licence page painted" "$nsis_ms"
  if [ "$what" = x86_64 ]; then
    read_figures "$out" bench_firstpage.exe window_ms fullscreen_ms
    printf '%-62s %9s\n' \
      "empty program: one 640x480 window painted" "$window_ms" \
      "empty program: one full-screen popup painted" "$fullscreen_ms" \
      "ratio setup.exe / empty program, 640x480 window" "$(ratio "$setup_ms" "$window_ms")" \
      "ratio setup.exe / empty program, full-screen popup" "$(ratio "$setup_ms" "$fullscreen_ms")"
  fi
  printf '%-62s %9s\n' "ratio setup.exe / NSIS (goal: 1.00 or less)" "$(ratio "$setup_ms" "$nsis_ms")"
  echo "bench: per-run figures in $work/bench_firstpage_$what.log"
}

# On a 1920x1080 screen: whole installations driven with the default choices,
# from the start to the success message (setup.exe: agreement, directory,
# copy run, shortcut page) and to the enabled Close button (the NSIS peer:
# licence, then its files, shortcuts and registry values). Arguments as for
# measure_firstpage.
measure_install() {
  local what="$1" setup_exe="$2" peer_exe="$3" out setup_ms nsis_ms
  out=$("$WINE64" "$tree/bench/bench_install.exe" "$runs" \
    setup "$(wine_path "$setup_exe")" 'C:\Program files\Quarnel' 'Quarnel was successfully installed' \
    'I Agree,Next,Finish' \
    nsis "$(wine_path "$peer_exe")" 'C:\quarnel-bench\peer' Close 'I Agree' \
    </dev/null 2>"$work/bench_install_$what.log") ||
    { cat "$work/bench_install_$what.log" >&2; fail "bench_install.exe failed"; }
  out=${out//$'\r'/}
  read_figures "$out" bench_install.exe setup_ms nsis_ms
  echo "== $what$(build_note "$what"): whole installation driven with the defaults on a 1920x1080 screen, $runs runs each (interleaved), medians in ms =="
  printf '%-62s %9s\n' \
    "setup.exe: start to the success message" "$setup_ms" \
    "NSIS installer: start to Close (licence, files, links, registry)" "$nsis_ms" \
    "ratio setup.exe / NSIS (goal: 0.80 or less; 1.00 at scale)" "$(ratio "$setup_ms" "$nsis_ms")"
  echo "bench: per-run figures, with the time of each click, in $work/bench_install_$what.log"
}

if [ "${1:-}" = --inside ]; then
  # Re-entered by the outer part through wine-session.sh, with its variables.
  eval "$QUARNEL_BENCH_STATE"
  case "${2:-}" in
    backdrop) measure_backdrop ;;
    shipped)
      measure_firstpage i686 "$shipped" "$work/peer-licence-x86.exe"
      measure_install i686 "$shipped" "$work/peer-licence-x86.exe" ;;
    x86_64)
      measure_firstpage x86_64 "$tree/setup.exe" "$work/peer-licence.exe"
      measure_install x86_64 "$tree/setup.exe" "$work/peer-licence.exe" ;;
    *) measure ;;
  esac
  exit 0
fi

scale=false
if [ "${1:-}" = --scale ]; then
  scale=true
  shift
fi
runs="${1:-${QUARNEL_BENCH_RUNS:-7}}"
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || fail "RUNS must be a positive number, not '$runs'"
build="${QUARNEL_BUILD_DIR:-$root/build}"
mkdir -p "$build"
build="$(cd "$build" && pwd)"
benches=(bench_payload bench_noop bench_copy bench_backdrop bench_window bench_firstpage bench_install)
if [ ! -f "$build/win64/build.ninja" ] || [ ! -f "$build/host/tools/qpack" ]; then
  "$root/scripts/build.sh"
fi

# A machine whose kernel runs no 32-bit code has an emulator run Wine's i386
# loader (scripts/install-deps.sh): a 32-bit process then takes about a minute
# to start, and its figures time the emulator, not the installer. The shipped
# file is timed there only when asked (QUARNEL_BENCH_EMULATED=1).
emulated=false
if grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then
  emulated=true
fi
ship=true
if $emulated && [ "${QUARNEL_BENCH_EMULATED:-}" != 1 ]; then
  ship=false
fi

if $scale; then
  # A publisher-sized game: the sample game's 79 files, each grown from its
  # own bytes and a deterministic stream of incompressible ones to about ten
  # times its size (at most 15 MB, the largest file), 215 MB in all,
  # compressing to about 140 MB.
  cmake --build "$build/win64" --target payload >/dev/null
  sample=$(sed -n 's/^QUARNEL_GAME_TREE:[A-Z]*=//p' "$build/win64/CMakeCache.txt")
  scale_game="$build/scale/game"
  if [ ! -f "$scale_game/manifest.txt" ]; then
    rm -rf "$scale_game"
    mkdir -p "$scale_game"
    cp "$sample/manifest.txt" "$scale_game/"
    total=215000000 largest=15000000
    # The growth factor: the sizes, capped at the largest, add up to the total.
    factor=$(cd "$sample" && find . -type f ! -name manifest.txt -printf '%s\n' |
      awk -v t="$total" -v c="$largest" '{ s[NR] = $1 }
        END { lo = 1; hi = 1000
              for (k = 0; k < 60; k++) { m = (lo + hi) / 2; n = 0
                for (i = 1; i <= NR; i++) n += (s[i] * m < c ? s[i] * m : c)
                if (n < t) lo = m; else hi = m }
              printf "%.6f", lo }')
    i=0
    while IFS= read -r name; do
      name=${name%$'\r'}
      rel=${name//\\//}
      src="$sample/$rel" dst="$scale_game/$rel"
      mkdir -p "$(dirname "$dst")"
      size=$(stat -c %s "$src")
      case "$rel" in
        quarnel.exe | uninstall.exe) cp "$src" "$dst"; continue ;;
      esac
      [ "$size" -gt 0 ] || fail "$src is empty"
      i=$((i + 1))
      grown=$(awk -v s="$size" -v f="$factor" -v c="$largest" 'BEGIN { n = int(s * f); print (n < c ? n : c) }')
      noise=$((grown * 6 / 10))
      # The writers end on the pipe's closing (SIGPIPE); the size is checked.
      { { while cat "$src"; do :; done | head -c $((grown - noise)); } || true
        { openssl enc -aes-128-ctr -nosalt -K "$(printf '%032x' "$i")" -iv 0 -in /dev/zero 2>/dev/null |
          head -c "$noise"; } || true
      } >"$dst"
      [ "$(stat -c %s "$dst")" -eq "$grown" ] || fail "could not write $grown bytes to $dst"
    done <"$sample/manifest.txt"
  fi
  echo "bench: the scale game in $scale_game: $(find "$scale_game" -type f ! -name manifest.txt | wc -l) files," \
    "$(du -sb --exclude=manifest.txt "$scale_game" | cut -f1) bytes, the largest $(find "$scale_game" -type f -printf '%s\n' | sort -n | tail -1)"
  tree="$build/scale/win64"
  if [ ! -f "$tree/build.ninja" ]; then
    cmake -S "$root" -B "$tree" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-x86_64-w64-mingw32.cmake" \
      -DQUARNEL_HOST_TOOLS="$build/host/tools" -DQUARNEL_GAME_DIR="$scale_game" >/dev/null
  fi
  release_build="$build/scale/release"
  export QUARNEL_GAME_DIR="$scale_game"
else
  tree="$build/win64"
  release_build="$build/release"
fi
cmake --build "$tree" --target "${benches[@]}" payload setup
for exe in "${benches[@]}"; do
  [ -f "$tree/bench/$exe.exe" ] || fail "$tree/bench/$exe.exe was not built"
done
shipped=""
if $ship; then
  QUARNEL_RELEASE_BUILD="$release_build" "$root/scripts/release.sh" --out "$release_build/dist" >/dev/null
  shipped="$release_build/dist/setup.exe"
fi

cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$tree/CMakeCache.txt"; }
payload_gz=$(cache_value QUARNEL_PAYLOAD_GZ)
payload_archive=$(cache_value QUARNEL_PAYLOAD_ARCHIVE)
game=$(cache_value QUARNEL_GAME_TREE)
[ -f "$payload_gz" ] && [ -f "$payload_archive" ] && [ -d "$game" ] || fail "no payload in $tree"
record_count=$(find "$game" -type f ! -name manifest.txt | wc -l)
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)

# The peers' inputs, made from the same tree before anything is timed. Both
# compress at the highest level, as the payload's own gzip member is.
work="$tree/bench-work"
mkdir -p "$work"
tar -cf - -C "$game" --exclude=manifest.txt . | gzip -9 >"$work/game.tar.gz"
. "$root/scripts/nsis-peer.sh"
nsis_peer "$game" "$work/peer-setup.exe" zlib amd64-unicode
nsis_licence_peer "$game" "$work/peer-licence.exe" amd64-unicode "$root/resources/licence.txt"
if $ship; then
  nsis_licence_peer "$game" "$work/peer-licence-x86.exe" x86-unicode "$root/resources/licence.txt"
fi

QUARNEL_BENCH_STATE=$(declare -p runs tree work payload_gz payload_archive game record_count cpu shipped)
export QUARNEL_BENCH_STATE
session() { # screen, part
  xvfb-run -a -s "-screen 0 $1x24 -nolisten tcp" "$root/scripts/wine-session.sh" "$tree" bash "$self" --inside "$2"
}
if $ship; then
  if $emulated; then
    echo "bench: THIS KERNEL RUNS NO 32-BIT CODE: an emulator runs the shipped file and its x86 peer, and their" \
      "figures below time the emulator more than either installer"
    export QUARNEL_BENCH_TIME_SCALE=20
  fi
  session 1920x1080 shipped
  unset QUARNEL_BENCH_TIME_SCALE
else
  echo "bench: THIS KERNEL RUNS NO 32-BIT CODE (an emulator runs it, a minute a process): the shipped i686" \
    "file is not timed against its x86 peer (QUARNEL_BENCH_EMULATED=1 times it all the same); the figures" \
    "below are the x86_64 build's of the same sources"
fi
session 1024x768 payload
$scale || session 3840x2160 backdrop
session 1920x1080 x86_64
