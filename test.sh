#!/usr/bin/env bash
# Builds both presets and runs every test: the Linux suite natively, then the
# Windows test executables under Wine. Exits non-zero when anything fails.
set -uo pipefail
cd "$(dirname "$0")"

scripts/deps.sh || exit 1

status=0
summaries=()

# Every C++ file matches the checked-in .clang-format; a mismatch fails the run
# (with the files named) but the build and tests still run.
echo "== format"
if scripts/check-format.sh; then
  summaries+=("format: ok")
else
  status=1
  summaries+=("format: FAILED (files listed above)")
fi

# No room includes one above it (scripts/check-includes.sh lists the rules).
echo "== include direction"
if scripts/check-includes.sh; then
  summaries+=("include direction: ok")
else
  status=1
  summaries+=("include direction: FAILED (lines listed above)")
fi

# Our own code builds with warnings as errors (cmake/StrivoTargets.cmake), so a
# new warning stops the build here with the file and line.
for preset in linux windows; do
  echo "== build: $preset"
  cmake --preset "$preset" >/dev/null || { echo "build: $preset could not be configured"; exit 1; }
  cmake --build --preset "$preset" || { echo "build: $preset FAILED (the compiler's first error above names the file)"; exit 1; }
done

run_ctest() {  # preset, ctest arguments...
  local preset=$1; shift
  local log
  log=$(mktemp)
  env -u DISPLAY ctest --preset "$preset" "$@" 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  summaries+=("$preset: $(grep -E 'tests passed' "$log" | tail -n 1)")
  rm -f "$log"
}

# A test that fails is run once more (its first failure stays in the log): the
# whole-program tests start real programs under Xvfb and Wine, whose start-up can
# stall on a loaded machine.
echo "== tests: linux"
run_ctest linux -j 2 --repeat until-pass:2

# The user packages built from both program folders (portable zip and tar.gz, the
# Windows setup program, the Debian package), their contents, the unpacked Linux
# program started and stopped with a fresh HOME, and the Debian package checked by
# lintian, installed into a scratch root, run and purged.
echo "== packages"
if tests/package_check.sh; then
  summaries+=("packages: ok")
else
  status=1
  summaries+=("packages: FAILED (see above)")
fi

# The acceptance suite: every road through the unpacked Linux package's program.
echo "== acceptance: linux package"
if env -u DISPLAY tests/e2e/run.sh; then
  summaries+=("acceptance (linux package): ok")
else
  status=1
  summaries+=("acceptance (linux package): FAILED (see above)")
fi

# Every parser of outside bytes under libFuzzer for a few seconds (build/fuzz).
echo "== fuzz"
scripts/fuzz.sh 5
case $? in
  0) summaries+=("fuzz: no finding") ;;
  1) status=1; summaries+=("fuzz: FINDING (inputs in build/fuzz/findings/)") ;;
  *) status=1; summaries+=("fuzz: FAILED to build or seed (see above)") ;;
esac

echo "== tests: windows (Wine)"
. scripts/wine-env.sh
wine_start
run_ctest windows -j 2 --timeout 120 --repeat until-pass:2
# Includes the setup program: install over an older version, run, uninstall.
echo "== acceptance: windows package (Wine)"
if tests/e2e/wine_package.sh; then
  summaries+=("acceptance (windows package): ok")
else
  status=1
  summaries+=("acceptance (windows package): FAILED (see above)")
fi
wine_stop

echo "== summary"
for line in "${summaries[@]}"; do echo "$line"; done
exit $status
