#!/usr/bin/env bash
# Builds everything and runs every test: native (sanitizers, fuzzing), the
# checks of the shipping i686 setup.exe (imports and resources, read on the
# host), then the Windows-side and end-to-end tests of the x86_64 build under
# wine64 on a virtual display, the backdrop's on two more displays, and last
# two releases built from copies of the sources in two places, which must be
# the same bytes. Exits non-zero if any test fails.
set -euo pipefail
root="$(cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.." && pwd)"
build="${QUARNEL_BUILD_DIR:-$root/build}"
"$root/scripts/build.sh"

status=0
echo "== native tests (build/host) =="
ctest --test-dir "$build/host" -LE release --output-on-failure || status=1

echo "== shipping build checks (build/win32) =="
ctest --test-dir "$build/win32" --output-on-failure || status=1

echo "== Windows tests under wine64 (build/win64) =="
# The test drives go in before any wineserver starts for the prefix and come
# out however the run ends.
"$root/scripts/wine-prefix.sh" "$build/win64"
trap '"$root/scripts/test-drives.sh" down "$build/win64"' EXIT
"$root/scripts/test-drives.sh" up "$build/win64"
matrix="$build/win64/screenshots/matrix.txt"
rm -f "$matrix"
xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" \
  "$root/scripts/wine-session.sh" "$build/win64" \
  ctest --test-dir "$build/win64" --output-on-failure || status=1
# Each end-to-end row of the fault matrix adds its line as it ends.
if [ -f "$matrix" ]; then
  echo "== Fault matrix (end to end, this run) =="
  { echo "fault|expected|seen|result"; sed 's/\r$//; s/^MATRIX | //; s/ |$//; s/ | /|/g' "$matrix"; } |
    awk -F'|' '{ for (i = 1; i <= NF; i++) { cell[NR, i] = $i; if (length($i) > w[i]) w[i] = length($i) } n = NR }
      END { for (r = 1; r <= n; r++) { line = ""
              for (i = 1; i <= 4; i++) line = line (i < 4 ? sprintf("%-" w[i] "s | ", cell[r, i]) : cell[r, i])
              print line } }'
fi

# The backdrop again on a large screen and on an 8-bit (palette) one, each in
# its own display and Wine session.
for screen in 1920x1080x24 1024x768x8; do
  echo "== backdrop on a ${screen} screen (build/win64) =="
  xvfb-run -a -s "-screen 0 $screen -nolisten tcp" \
    "$root/scripts/wine-session.sh" "$build/win64" \
    ctest --test-dir "$build/win64" -L backdrop --output-on-failure || status=1
done

echo "== reproducible release (build/host) =="
ctest --test-dir "$build/host" -L release --output-on-failure || status=1

exit $status
