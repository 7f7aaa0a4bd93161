#!/usr/bin/env bash
# Everything from a fresh Debian machine to tested builds:
#   installs the packages (tools/setup.sh), cross-builds libjpeg-turbo, libde265 and libheif for
#   Windows once, then configures, builds and tests the `native` preset
#   (portable core, tools; ASan + UBSan) and the `windows` preset
#   (VELMORA.EXE and its tests under Wine, on Xvfb when no display answers).
# Exits non-zero when any stage fails; both targets are tried regardless.
#
# Environment:
#   VELMORA_BUILD_TAG=x  use build/native-x and build/windows-x instead of
#                        build/native and build/windows
#   VELMORA_JOBS=n       parallel jobs (default: number of CPUs)
#   VELMORA_TARGETS="native windows"  which targets to build and test
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

jobs=${VELMORA_JOBS:-$(nproc 2>/dev/null || echo 2)}
tag=${VELMORA_BUILD_TAG:+-$VELMORA_BUILD_TAG}
targets=${VELMORA_TARGETS:-native windows}
logdir=$root/build/test-logs
mkdir -p "$logdir"
for target in $targets; do rm -f "$logdir/$target$tag.log"; done

declare -a stage_names=() stage_results=() stage_seconds=()
failed=0

# stage NAME COMMAND...: runs a command, records its time and result.
stage() {
  local name=$1; shift
  local start end rc
  printf '\n=== %s ===\n' "$name"
  start=$(date +%s)
  "$@"
  rc=$?
  end=$(date +%s)
  stage_names+=("$name")
  stage_seconds+=($((end - start)))
  if [ "$rc" = 0 ]; then stage_results+=(ok); else stage_results+=("FAILED ($rc)"); failed=1; fi
  return "$rc"
}

# ctest with its summary kept for the end.
run_ctest() {
  local dir=$1 log=$2
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600 2>&1 | tee "$log"
  return "${PIPESTATUS[0]}"
}

stage "setup (packages)" bash tools/setup.sh || { echo "setup failed" >&2; exit 1; }

for target in $targets; do
  dir=build/$target$tag
  if [ "$target" = windows ]; then
    stage "windows: libraries" bash tools/build-windows-deps.sh -j "$jobs" || continue
  fi
  stage "$target: configure" cmake --preset "$target" -B "$dir" --log-level=WARNING || continue
  stage "$target: build" cmake --build "$dir" -j "$jobs" || continue
  stage "$target: test" run_ctest "$dir" "$logdir/$target$tag.log" || true
done

printf '\n=== summary ===\n'
for i in "${!stage_names[@]}"; do
  printf '  %-28s %6ss  %s\n' "${stage_names[$i]}" "${stage_seconds[$i]}" "${stage_results[$i]}"
done
for target in $targets; do
  log=$logdir/$target$tag.log
  if [ -f "$log" ]; then
    printf '\n%s tests:\n' "$target"
    sed -n '/tests passed/,$p' "$log" | sed 's/^/  /'
  fi
done
if [ "$failed" = 0 ]; then
  echo "ALL PASSED"
else
  echo "FAILED"
fi
exit "$failed"
