#!/usr/bin/env bash
# Times the installer's unpacking of the payload against other ways of putting
# the same game tree on disk, in one run on this machine, and prints medians
# (ms) and ratios:
#   ours   bench_payload.exe under wine64: GunzipFile, ExtractPayloadArchive
#          and their sum, timed inside the process;
#          bench_copy.exe under wine64: the copy page's whole run (staging the
#          payload resource of setup.exe, decompression, extraction with the
#          progress bar, removal of the temporary files), timed inside the
#          process, and the working set of its first run against the
#          program's baseline and the largest record;
#   gzip   gzip -dc of the same filesdata.gz (native);
#   tar    tar -xzf of a tar.gz of the same tree (native);
#   nsis   a silent installer of the same tree made with makensis (solid
#          zlib), whole process under wine64, raw and less the start-to-exit
#          time of an empty program (bench_noop.exe) under wine64.
#
# Then the backdrop and the start: CreateBackdrop and its dimming loop alone
# at 1024x768, 1920x1080 and 3840x2160 (bench_backdrop.exe, on a 3840x2160
# screen), and the time from process start to the first page on screen
# (bench_firstpage.exe, on a 1920x1080 screen, runs interleaved) of setup.exe
# (the agreement page), of an empty program showing one window
# (bench_window.exe, normal and full-screen) and of an NSIS installer of the
# same tree with a licence page; and a whole installation driven with the
# default choices (bench_install.exe, on a 1920x1080 screen, interleaved), from
# start to the success message, against the NSIS installer with a licence page
# from start to its enabled Close button.
#
# Usage: scripts/bench.sh [RUNS]   (default 7; QUARNEL_BENCH_RUNS works too)
# The x86_64 tree is $QUARNEL_BUILD_DIR/win64 (default build/win64); it is
# built with scripts/build.sh when missing.
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
  # taken after a warm-up that leaves what the earlier pages would; the
  # payload's pages of the mapped setup.exe are first read by the run's
  # staging, so they are part of the growth.
  local growth=$((peak_ws_kib - baseline_ws_kib))
  echo "== Copy page, first run: working set (resident set under wine64), KiB =="
  printf '%-62s %9s\n' \
    "program's baseline (warmed up, before the run)" "$baseline_ws_kib" \
    "peak during the run" "$peak_ws_kib" \
    "growth over the baseline" "$growth" \
    "  of it: setup.exe's payload resource pages (file-backed)" "$payload_kib" \
    "  the rest: the run's own memory" "$((growth - payload_kib))" \
    "largest record (goal: the rest = this + small buffers)" "$largest_record_kib" \
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

# On a 1920x1080 screen.
measure_firstpage() {
  local out window_ms fullscreen_ms setup_ms nsis_ms
  out=$("$WINE64" "$tree/bench/bench_firstpage.exe" "$runs" \
    window "$(wine_path "$tree/bench/bench_window.exe")" - BenchWindow - \
    fullscreen "$(wine_path "$tree/bench/bench_window.exe")" full BenchWindow - \
    setup "$(wine_path "$tree/setup.exe")" - '#32770' Edit \
    nsis "$(wine_path "$work/peer-licence.exe")" - '#32770' RichEdit \
    </dev/null 2>"$work/bench_firstpage.log") ||
    { cat "$work/bench_firstpage.log" >&2; fail "bench_firstpage.exe failed"; }
  out=${out//$'\r'/}
  read_figures "$out" bench_firstpage.exe window_ms fullscreen_ms setup_ms nsis_ms
  echo "== Process start to first page on a 1920x1080 screen, $runs runs each (interleaved), medians in ms =="
  printf '%-62s %9s\n' \
    "setup.exe: agreement page painted (over its backdrop)" "$setup_ms" \
    "empty program: one 640x480 window painted" "$window_ms" \
    "empty program: one full-screen popup painted" "$fullscreen_ms" \
    "NSIS installer: licence page painted" "$nsis_ms"
  echo "== Ratio setup.exe first page / peer (goal: 1.10 or less vs the empty program, below 1 vs NSIS) =="
  printf '%-62s %9s\n' \
    "vs empty program, 640x480 window" "$(ratio "$setup_ms" "$window_ms")" \
    "vs empty program, full-screen popup" "$(ratio "$setup_ms" "$fullscreen_ms")" \
    "vs NSIS licence page" "$(ratio "$setup_ms" "$nsis_ms")"
  echo "bench: per-run figures in $work/bench_backdrop.log and $work/bench_firstpage.log"
}

# On a 1920x1080 screen: whole installations driven with the default choices,
# from the start to the success message (setup.exe: agreement, directory,
# copy run, shortcut page) and to the enabled Close button (the NSIS peer:
# licence, then its files).
measure_install() {
  local out setup_ms nsis_ms
  out=$("$WINE64" "$tree/bench/bench_install.exe" "$runs" \
    setup "$(wine_path "$tree/setup.exe")" 'C:\Program files\Quarnel' 'Quarnel was successfully installed' \
    'I Agree,Next,Finish' \
    nsis "$(wine_path "$work/peer-licence.exe")" 'C:\quarnel-bench\peer' Close 'I Agree' \
    </dev/null 2>"$work/bench_install.log") ||
    { cat "$work/bench_install.log" >&2; fail "bench_install.exe failed"; }
  out=${out//$'\r'/}
  read_figures "$out" bench_install.exe setup_ms nsis_ms
  echo "== Whole installation driven with the defaults on a 1920x1080 screen, $runs runs each (interleaved), medians in ms =="
  printf '%-62s %9s\n' \
    "setup.exe: start to the success message" "$setup_ms" \
    "NSIS installer: start to Close (licence, files)" "$nsis_ms" \
    "ratio setup.exe / NSIS" "$(ratio "$setup_ms" "$nsis_ms")"
  echo "bench: per-run figures, with the time of each click, in $work/bench_install.log"
}

if [ "${1:-}" = --inside ]; then
  # Re-entered by the outer part through wine-session.sh, with its variables.
  eval "$QUARNEL_BENCH_STATE"
  case "${2:-}" in
    backdrop) measure_backdrop ;;
    firstpage) measure_firstpage ;;
    install) measure_install ;;
    *) measure ;;
  esac
  exit 0
fi

runs="${1:-${QUARNEL_BENCH_RUNS:-7}}"
[[ "$runs" =~ ^[1-9][0-9]*$ ]] || fail "RUNS must be a positive number, not '$runs'"
build="${QUARNEL_BUILD_DIR:-$root/build}"
tree="$build/win64"
if [ ! -f "$tree/build.ninja" ]; then
  "$root/scripts/build.sh"
else
  cmake --build "$tree" --target bench_payload bench_noop bench_copy bench_backdrop bench_window bench_firstpage bench_install \
    payload setup
fi
for exe in bench_payload bench_noop bench_copy bench_backdrop bench_window bench_firstpage bench_install; do
  [ -f "$tree/bench/$exe.exe" ] || fail "$tree/bench/$exe.exe was not built"
done
tree="$(cd "$tree" && pwd)"

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
# The same installer as its user sees it: its first page is the licence.
cat >"$work/peer-licence.nsi" <<EOF
Unicode true
Target amd64-unicode
SetCompressor /SOLID zlib
RequestExecutionLevel user
Name "Quarnel"
OutFile "$work/peer-licence.exe"
InstallDir "C:\\quarnel-bench\\peer"
LicenseData "$root/resources/licence.txt"
Page license
Page instfiles
Section
  SetOutPath "\$INSTDIR"
  File /r /x manifest.txt "$game/*"
SectionEnd
EOF
makensis -V2 "$work/peer-licence.nsi" >/dev/null

QUARNEL_BENCH_STATE=$(declare -p runs tree work payload_gz payload_archive game record_count cpu)
export QUARNEL_BENCH_STATE
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
  "$root/scripts/wine-session.sh" "$tree" bash "$self" --inside
xvfb-run -a -s "-screen 0 3840x2160x24 -nolisten tcp" \
  "$root/scripts/wine-session.sh" "$tree" bash "$self" --inside backdrop
xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" \
  "$root/scripts/wine-session.sh" "$tree" bash "$self" --inside firstpage
xvfb-run -a -s "-screen 0 1920x1080x24 -nolisten tcp" \
  "$root/scripts/wine-session.sh" "$tree" bash "$self" --inside install
