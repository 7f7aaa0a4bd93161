#!/usr/bin/env bash
# Shows the program working, from a fresh Debian machine: installs the
# packages, builds what the demo shows (VELMORA.EXE and the native tool that
# draws the demonstration show; no test suites), then runs VELMORA.EXE under
# Wine on your
# $DISPLAY (or, when none answers, on an Xvfb of its own): installs the
# demonstration show as a saver, opens its configuration (the editor on the
# demo show) and saves build/demo/editor.png, then plays the show, with
# screenshots under build/demo/show/.
#
# Environment:
#   VELMORA_DEMO_SECONDS=n   how long the program runs before the screenshot
#                            (default 6)
#   VELMORA_DEMO_SHOW_SECONDS=n  how long the demo show plays (default 20)
#   VELMORA_WINE_DISPLAY     auto (default) | xvfb | :N (see cmake/wine-run.sh)
#   VELMORA_JOBS=n           parallel build jobs
#   VELMORA_BUILD_TAG=x      build in build/bench-x and build/windows-x
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

jobs=${VELMORA_JOBS:-$(nproc 2>/dev/null || echo 2)}
seconds=${VELMORA_DEMO_SECONDS:-6}
show_seconds=${VELMORA_DEMO_SHOW_SECONDS:-20}
demo_dir=$root/build/demo
tag=${VELMORA_BUILD_TAG:+-$VELMORA_BUILD_TAG}
# The show's generator is a host tool: built optimised without sanitizers
# (the `bench` preset's tree), which compiles in a fraction of the time.
tools_dir=$root/build/bench$tag
windows_dir=$root/build/windows$tag

# The demo has a Wine prefix of its own, apart from the tests' one, so what
# it installs there never meets a test.
export VELMORA_WINE_STATE=$demo_dir/wine-session
export WINEPREFIX=$demo_dir/wineprefix
wine_run=$root/cmake/wine-run.sh

log() { printf '[demo] %s\n' "$*"; }

prepare() {
  bash tools/setup.sh
  bash tools/build-windows-deps.sh -j "$jobs"
}

# Only the two programs the demo runs: the test suites, fuzz targets and
# benchmarks are left to tools/test.sh.
build_all() {
  cmake --preset bench -B "$tools_dir" --log-level=WARNING
  cmake --build "$tools_dir" -j "$jobs" --target velmora-demo-show
  cmake --preset windows -B "$windows_dir" --log-level=WARNING
  cmake --build "$windows_dir" -j "$jobs" --target VELMORA
  velmora_exe=$windows_dir/app/VELMORA.EXE
  [ -f "$velmora_exe" ] || { echo "VELMORA.EXE was not built" >&2; exit 1; }
}

session_started=0
start_session() {
  mkdir -p "$demo_dir"
  # Screenshots of an earlier demo would pass for this one's.
  rm -rf "$demo_dir/show" "$demo_dir"/*.png
  "$wine_run" setup > /dev/null
  session_started=1
  # DISPLAY, WINEPREFIX and the rest, as the programs will see them.
  eval "$("$wine_run" env)"
  log "Wine prefix $WINEPREFIX on display $DISPLAY"
}

stop_session() {
  if [ "$session_started" = 1 ]; then
    "$wine_run" cleanup || true
    session_started=0
  fi
}

# screenshot NAME: saves the whole screen as build/demo/NAME.png.
screenshot() {
  local file=$demo_dir/$1.png
  xwd -root -silent -display "$DISPLAY" | convert xwd:- "$file"
  log "screenshot: $file"
}

# Starts VELMORA.EXE with the given arguments in the background; its PID in
# $program_pid.
start_program() {
  "$wine_run" "$velmora_exe" "$@" > "$demo_dir/program.log" 2>&1 &
  program_pid=$!
}

stop_program() {
  if [ -n "${program_pid:-}" ] && kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  program_pid=""
}

# The editor as it comes up on a new show (used when the demo show cannot
# be made).
demo_editor() {
  log "starting VELMORA.EXE (the editor) for ${seconds}s"
  start_program
  sleep "$seconds"
  if ! kill -0 "$program_pid" 2>/dev/null; then
    log "VELMORA.EXE ended early; its output:"
    cat "$demo_dir/program.log"
  fi
  screenshot editor
  stop_program
}

# The demo show: tools/demo-show/play.sh installs the demonstration show as a
# saver in the demo's Wine prefix, opens its configuration (`Demo.scr /c`,
# the editor with the show's strip) for build/demo/editor.png, then plays it
# full screen on the session's display, with screenshots under
# build/demo/show. Without that script or its generator (built above) the
# editor is shown on a new show instead.
demo_show() {
  local play=$root/tools/demo-show/play.sh
  local generator=$tools_dir/tools/demo-show/velmora-demo-show
  if [ ! -f "$play" ] || [ ! -x "$generator" ]; then
    log "no demo show (tools/demo-show/play.sh or velmora-demo-show missing)"
    demo_editor
    return 0
  fi
  log "the editor on the demo show, then the show for ${show_seconds}s"
  bash "$play" --exe "$velmora_exe" --prefix "$WINEPREFIX" --display "$DISPLAY" \
    --generator "$generator" --shots "$demo_dir/show" --seconds "$show_seconds" \
    --editor-shot "$demo_dir/editor.png" --editor-seconds "$seconds"
}

trap 'stop_program; stop_session' EXIT

prepare
build_all
start_session
demo_show
log "done; screenshots in $demo_dir"
