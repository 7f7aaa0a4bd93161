#!/usr/bin/env bash
# Installs the demonstration show as a saver in a Wine prefix and plays it
# full screen, taking screenshots along the way.
#
#   play.sh --exe PATH/VELMORA.EXE --prefix WINEPREFIX [options]
#
# Options:
#   --generator PATH   velmora-demo-show (default: looked for under build/)
#   --display :N       play on this X display (default: $DISPLAY when it
#                      answers, else a private Xvfb)
#   --xvfb             always play on a private Xvfb (1024x768x24)
#   --shots DIR        where the screenshots go (default: a new temp dir)
#   --seconds N        how long to play before ending the saver (default 30)
#   --every N          seconds between screenshots (default 3)
#   --measure N        instead of a long play: start the saver N times and
#                      print the time from the start to frame 1 on screen
#                      (each run, then the median)
#   --keep             leave the saver and its files installed afterwards
#   --editor-shot FILE first open the saver's configuration (`Demo.scr /c`:
#                      the editor on the demo show) and save a screenshot of
#                      it as FILE, then close it and go on
#   --editor-seconds N how long the editor runs before that screenshot
#                      (default 6)
#
# The saver is installed as C:\windows\system32\Demo.scr beside Demo.fms and
# the folder Demo-pictures, then started the way Windows starts it:
# `wine Demo.scr /s`. It is ended with a key press, as a user would.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

exe="" prefix="" generator="" display="" force_xvfb=0 shots="" seconds=30 every=3
measure=0 keep=0 editor_shot="" editor_seconds=6
while [ $# -gt 0 ]; do
  case $1 in
    --exe) exe=$2; shift 2 ;;
    --prefix) prefix=$2; shift 2 ;;
    --generator) generator=$2; shift 2 ;;
    --display) display=$2; shift 2 ;;
    --xvfb) force_xvfb=1; shift ;;
    --shots) shots=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --every) every=$2; shift 2 ;;
    --measure) measure=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    --editor-shot) editor_shot=$2; shift 2 ;;
    --editor-seconds) editor_seconds=$2; shift 2 ;;
    -h|--help) sed -n '2,29p' "$0"; exit 0 ;;
    *) echo "play.sh: unknown option $1" >&2; exit 2 ;;
  esac
done

log() { printf '[demo-show] %s\n' "$*" >&2; }
[ -n "$exe" ] && [ -f "$exe" ] || { log "--exe must name VELMORA.EXE"; exit 2; }
[ -n "$prefix" ] || { log "--prefix must name a Wine prefix"; exit 2; }

if [ -z "$generator" ]; then
  generator=$(ls -t "$root"/build/*/tools/demo-show/velmora-demo-show 2>/dev/null | head -n1 || true)
fi
if [ -z "$generator" ] || [ ! -x "$generator" ]; then
  log "velmora-demo-show not found: build the native preset, or pass --generator"
  exit 2
fi

export WINEPREFIX=$(cd "$prefix" 2>/dev/null && pwd || echo "$prefix")
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  log "making the Wine prefix $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
fi
sysdir=$WINEPREFIX/drive_c/windows/system32

# ---- display
xvfb_pid=""
display_answers() { DISPLAY=$1 xdpyinfo >/dev/null 2>&1 || DISPLAY=$1 xdotool getmouselocation >/dev/null 2>&1; }
if [ -z "$display" ] && [ $force_xvfb = 0 ] && [ -n "${DISPLAY:-}" ] && display_answers "$DISPLAY"; then
  display=$DISPLAY
fi
if [ -z "$display" ]; then
  for n in $(seq 90 120); do
    [ -e /tmp/.X$n-lock ] && continue
    Xvfb :$n -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    display=:$n
    for _ in $(seq 50); do display_answers "$display" && break; sleep 0.1; done
    break
  done
  log "playing on a private Xvfb $display"
fi
export DISPLAY=$display

# ---- install
work=$(mktemp -d)
saver_pid=""
cleanup() {
  if [ -n "$saver_pid" ] && kill -0 "$saver_pid" 2>/dev/null; then kill "$saver_pid" 2>/dev/null || true; fi
  if [ $keep = 0 ]; then
    rm -rf "$sysdir/Demo.scr" "$sysdir/Demo.fms" "$sysdir/Demo-pictures"
  fi
  rm -rf "$work"
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
}
trap cleanup EXIT

"$generator" "$work" --name Demo --picture-dir 'C:\windows\system32\Demo-pictures' >/dev/null
cp "$exe" "$sysdir/Demo.scr"
cp "$work/Demo.fms" "$sysdir/Demo.fms"
rm -rf "$sysdir/Demo-pictures"
cp -r "$work/pictures" "$sysdir/Demo-pictures"
log "installed C:\\windows\\system32\\Demo.scr, Demo.fms and Demo-pictures in $WINEPREFIX"

# ---- the editor on the demo show
if [ -n "$editor_shot" ]; then
  log "opening the saver's configuration (the editor) for ${editor_seconds}s"
  wine "C:\\windows\\system32\\Demo.scr" /c >/dev/null 2>&1 &
  editor_pid=$!
  sleep "$editor_seconds"
  mkdir -p "$(dirname "$editor_shot")"
  xwd -root -silent | convert xwd:- "$editor_shot"
  log "screenshot: $editor_shot"
  # Nothing was changed, so the editor may simply end; the saver can only
  # start once it has (one instance at a time).
  kill "$editor_pid" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$editor_pid" 2>/dev/null || break; sleep 0.1; done
  wait "$editor_pid" 2>/dev/null || true
  sleep 1
fi

# ---- helpers
screen_size() { xdpyinfo 2>/dev/null | awk '/dimensions:/ {print $2; exit}'; }
size=$(screen_size || true); size=${size:-1024x768}
cx=$(( ${size%x*} / 2 )); cy=$(( ${size#*x} / 2 ))
# The centre pixel as rrggbb.
centre_pixel() {
  import -window root -crop 1x1+$cx+$cy -depth 8 txt:- 2>/dev/null | awk 'NR==2 {print $3}' | tr -d '#'
}
now_ms() { date +%s%3N; }

start_saver() {
  # Park the pointer where the saver will find it; it must not move.
  xdotool mousemove "$cx" "$cy" 2>/dev/null || true
  wine "C:\\windows\\system32\\Demo.scr" /s >/dev/null 2>&1 &
  saver_pid=$!
}
end_saver() {
  xdotool key space 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$saver_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$saver_pid" 2>/dev/null; then
    log "the saver did not end on a key; stopping it"
    kill "$saver_pid" 2>/dev/null || true
  fi
  wait "$saver_pid" 2>/dev/null || true
  saver_pid=""
}

# Frame 1 (dawn.jpg) is on screen once the centre is neither black nor the
# desktop's colour from before the start.
wait_for_frame1() {
  local before=$1 deadline=$(( $(now_ms) + 30000 ))
  while [ "$(now_ms)" -lt $deadline ]; do
    local p; p=$(centre_pixel)
    if [ -n "$p" ] && [ "$p" != "000000" ] && [ "$p" != "$before" ]; then return 0; fi
    sleep 0.02
  done
  return 1
}

if [ "$measure" -gt 0 ]; then
  wineserver -p60 >/dev/null 2>&1 || true  # keep one server up between runs
  times=()
  for run in $(seq "$measure"); do
    before=$(centre_pixel)
    t0=$(now_ms)
    start_saver
    if wait_for_frame1 "$before"; then
      t=$(( $(now_ms) - t0 )); times+=("$t"); log "run $run: frame 1 after $t ms"
    else
      log "run $run: frame 1 never showed"
    fi
    end_saver
    sleep 1
  done
  [ ${#times[@]} -gt 0 ] || exit 1
  median=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : int((a[NR/2]+a[NR/2+1])/2))}')
  echo "time from start to frame 1: ${times[*]} ms; median $median ms"
  exit 0
fi

shots=${shots:-$(mktemp -d /tmp/velmora-demo-shots.XXXXXX)}
mkdir -p "$shots"
start_saver
log "playing for $seconds s, a screenshot every $every s"
elapsed=0
n=0
sleep 1
while [ $elapsed -lt "$seconds" ]; do
  kill -0 "$saver_pid" 2>/dev/null || { log "the saver ended early"; break; }
  n=$((n + 1))
  file=$(printf '%s/demo-%02d.png' "$shots" "$n")
  import -window root "$file" 2>/dev/null || xwd -root -silent | convert xwd:- "$file"
  sleep "$every"
  elapsed=$((elapsed + every))
done
end_saver
echo "screenshots: $shots"
ls -1 "$shots"
