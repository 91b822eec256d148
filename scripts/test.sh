#!/usr/bin/env bash
# Builds everything and runs every test: native (sanitizers, fuzzing), then a
# release (scripts/release.sh: the i686 setup.exe a publisher ships), and
# under Wine on a virtual display: the x86_64 tree's Windows-side tests and
# the end-to-end tier (against the shipped file where the kernel runs 32-bit
# code, else against the x86_64 build of the same sources, and says so), the
# shipped file's own end-to-end rows, unsigned and signed, the backdrop's
# again on two more displays, the i686 tree's Windows-side tests (built only
# on an emulated CPU), and last
# two releases built from copies of the sources in two places, which must be
# the same bytes. Exits non-zero if any test fails.
set -euo pipefail
root="$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.." && pwd)"
build="${QUARNEL_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh"

# The file that ships is a 32-bit program: a machine that cannot run 32-bit
# code at all cannot test it, and no other file stands in for it. Where the
# kernel itself runs none, install-deps.sh has an emulator run Wine's i386
# loader: every 32-bit process then starts in about a minute, so only the
# shipped file's own rows run on it, with their time limits stretched.
if ! [ -x /usr/lib/wine/wine ] || ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "test: this machine cannot run 32-bit Windows programs: Wine's i386 loader (/usr/lib/wine/wine," \
    "from wine32:i386) is missing or does not execute, and no emulator is registered for i386 programs." \
    "The shipping setup.exe is i686; no other file is tested in its place." >&2
  exit 1
fi
emulated=""
if grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386 2>/dev/null; then
  emulated=yes
  export QUARNEL_E2E_TIME_SCALE=20
fi

status=0
echo "== native tests (build/host) =="
ctest --test-dir "$build/host" -LE release --output-on-failure || status=1

echo "== release: the shipping setup.exe (build/release) =="
shipped="$build/release/dist/setup.exe"
QUARNEL_RELEASE_BUILD="$build/release" "$root/scripts/release.sh" --out "$build/release/dist"
tier="$shipped"
if [ -n "$emulated" ]; then
  tier=""
  echo "test: THIS KERNEL RUNS NO 32-BIT CODE (an emulator runs it, a minute a process): the end-to-end tier" \
    "runs the x86_64 build of the same sources ($build/win64/setup.exe); the shipped $shipped runs its own" \
    "rows (label shipped); the i686 Windows-side tests are built, not run."
fi
# The end-to-end rows compare what it installs with the files it packed.
shipped_game=$(sed -n 's/^QUARNEL_GAME_TREE:[A-Z]*=//p' "$build/release/win32/CMakeCache.txt")
cmake "$build/win64" -DQUARNEL_SHIPPED_SETUP="$shipped" -DQUARNEL_SHIPPED_GAME="$shipped_game" \
  -DQUARNEL_E2E_SETUP="$tier" >/dev/null
cmake --build "$build/win64"

# Prints the fault matrix that the end-to-end rows of tree $1 wrote.
print_matrix() {
  local matrix="$1/screenshots/matrix.txt"
  [ -f "$matrix" ] || return 0
  echo "== Fault matrix (end to end, this run) =="
  { echo "fault|expected|seen|result"; sed 's/\r$//; s/^MATRIX | //; s/ |$//; s/ | /|/g' "$matrix"; } |
    awk -F'|' '{ for (i = 1; i <= NF; i++) { cell[NR, i] = $i; if (length($i) > w[i]) w[i] = length($i) } n = NR }
      END { for (r = 1; r <= n; r++) { line = ""
              for (i = 1; i <= 4; i++) line = line (i < 4 ? sprintf("%-" w[i] "s | ", cell[r, i]) : cell[r, i])
              print line } }'
}

tree="$build/win64"
echo "== Windows-side tests and the end-to-end tier of ${tier:-$tree/setup.exe} (build/win64) =="
# The test drives go in before any wineserver starts for the prefix and come
# out however the run ends.
"$root/scripts/wine-prefix.sh" "$tree"
trap '"$root/scripts/test-drives.sh" down "$tree"' EXIT
"$root/scripts/test-drives.sh" up "$tree"
rm -f "$tree/screenshots/matrix.txt"
(
  [ -z "$emulated" ] || unset QUARNEL_E2E_TIME_SCALE
  xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    "$root/scripts/wine-session.sh" "$tree" \
    ctest --test-dir "$tree" -LE shipped --output-on-failure
) || status=1
# Each end-to-end row of the fault matrix adds its line as it ends.
print_matrix "$tree"

# On an emulated CPU a Wine thread of the emulated process may die at random
# ("unexpected trap"): a failed row runs once more there, and only there.
echo "== the shipped file: $shipped, unsigned and signed${emulated:+ (emulated CPU: a failed row runs once more)} =="
retry=()
[ -z "$emulated" ] || retry=(--repeat until-pass:2)
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
  "$root/scripts/wine-session.sh" "$tree" \
  ctest --test-dir "$tree" -L shipped "${retry[@]}" --output-on-failure || status=1

# The backdrop again on a large screen and on an 8-bit (palette) one, each in
# its own display and Wine session.
for screen in 1920x1080x24 1024x768x8; do
  echo "== backdrop on a ${screen} screen (build/win64) =="
  (
    [ -z "$emulated" ] || unset QUARNEL_E2E_TIME_SCALE
    xvfb-run -a -s "-screen 0 $screen -nolisten tcp" \
      "$root/scripts/wine-session.sh" "$tree" \
      ctest --test-dir "$tree" -L backdrop -LE shipped --output-on-failure
  ) || status=1
done

# The same sources for i686, in process: calling conventions, structure
# layouts and 32-bit arithmetic. On an emulated CPU they are built only (the
# build catches what the compiler sees): Wine's own threads die there at
# random ("unexpected trap"), in whichever test starts one, so a run would
# say nothing about the code.
if [ -z "$emulated" ]; then
  echo "== i686: Windows-side tests (build/win32) =="
  xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
    "$root/scripts/wine-session.sh" "$build/win32" \
    ctest --test-dir "$build/win32" --output-on-failure || status=1
else
  echo "== i686: Windows-side tests built, NOT RUN: emulated CPU (build/win32) =="
  ctest --test-dir "$build/win32" -LE windows --output-on-failure || status=1
fi

echo "== reproducible release (build/host) =="
ctest --test-dir "$build/host" -L release --output-on-failure || status=1

exit $status
