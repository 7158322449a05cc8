#!/usr/bin/env bash
# The acceptance suite: packages the Linux program folder as a user downloads it,
# unpacks it into a temporary folder, and runs every road against the unpacked
# strivovr-headless (build/linux/tests/e2e_test; the stand-ins come from the build).
# Arguments go to the suite (e.g. --gtest_filter=EndToEnd.PhoneTo*).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build="$root/build/linux"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$root/scripts/package.sh" --no-build --out "$work/packages" linux > /dev/null || exit 1
tar -xzf "$work"/packages/strivovr-*-linux-x86_64.tar.gz -C "$work" || exit 1
package=$(echo "$work"/strivovr-*-linux-x86_64)
[ -x "$package/strivovr-headless" ] || { echo "e2e: no strivovr-headless in the package" >&2; exit 1; }
export STRIVO_PACKAGE_DIR="$package" STRIVO_DIST_DIR="$build/dist" STRIVO_E2E_MATRIX="$work/stop-paths.tsv"
echo "e2e: running against $package"

# Runs the roads matching a filter; a road that fails is run once more (its first
# failure stays in the log), as the other suites do: real programs can stall on a
# loaded machine. The pad road needs the recording /dev/uinput (umockdev's preload)
# in the suite and in the program it starts; the other roads run without it.
status=0
roads() {  # filter, environment...
  local filter=$1 log="$work/roads.log" failed; shift
  env "$@" "$build/tests/e2e_test" --gtest_filter="$filter" "${extra[@]}" 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] && return 0
  failed=$(sed -nE 's/^\[  FAILED  \] ([A-Za-z0-9_/]*EndToEnd[A-Za-z]*\/?[A-Za-z]*\.[A-Za-z0-9_/]+)(,| \(.*)?.*$/\1/p' "$log" |
    sort -u | paste -sd: -)
  [ -n "$failed" ] || return 1
  echo "e2e: running again: $failed"
  env "$@" "$build/tests/e2e_test" --gtest_filter="$failed" "${extra[@]}"
}
extra=("$@")
roads '-*Pad*' || status=1
roads '*Pad*' LD_PRELOAD=libumockdev-preload.so.0 || status=1

# The stop-path matrix: rows are outputs, columns stop paths; a cell run twice shows its last run.
if [ -s "$STRIVO_E2E_MATRIX" ]; then
  echo "e2e: stop paths (time until the game side is at rest and nothing is pressed)"
  awk -F'\t' '
    { if (!($1 in seen)) { seen[$1] = 1; rows[++nrows] = $1 }
      if (!($2 in seenc)) { seenc[$2] = 1; cols[++ncols] = $2 }
      cell[$1, $2] = $3 }
    END {
      for (r = 1; r <= nrows; ++r) {
        print rows[r] ":"
        for (c = 1; c <= ncols; ++c) if ((rows[r], cols[c]) in cell) printf "  %-14s %s\n", cols[c], cell[rows[r], cols[c]]
      }
    }' "$STRIVO_E2E_MATRIX"
fi
exit $status
