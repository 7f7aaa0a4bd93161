#!/usr/bin/env bash
# Runs Windows programs of the cross build under Wine, in a prefix and on a
# display that belong to one build tree.
#
#   wine-run.sh PROGRAM.exe [ARGS...]   run a program, return its exit code
#   wine-run.sh setup                   make the prefix if missing, set fonts,
#                                       choose a display (start Xvfb if needed)
#   wine-run.sh cleanup                 stop wineserver and our Xvfb
#   wine-run.sh winpath UNIX-PATH       print the path as Windows sees it
#   wine-run.sh env                     print the settings for `eval`
#
# Settings (environment):
#   VELMORA_WINE_STATE   directory for the session files (required; the
#                        build's generated wrapper sets it)
#   WINEPREFIX           defaults to $VELMORA_WINE_STATE/../wineprefix
#   VELMORA_WINE_DISPLAY "auto" (default: $DISPLAY when it answers, else Xvfb),
#                        "xvfb" (always a private Xvfb), "xorg:CONFIG" (a
#                        private Xorg with that xorg.conf, e.g. two heads side
#                        by side on the dummy driver) or a display like ":0"
#   VELMORA_WINE_GEOMETRY  Xvfb screen, default 1024x768x24
#   VELMORA_WINE_LOGPIXELS the prefix's display scale for a run (96 = 100 %,
#                        144 = 150 %, 192 = 200 %); when it differs from the
#                        session's, it is written to the registry and the
#                        session starts again. Unset: left as it is.
set -euo pipefail

state=${VELMORA_WINE_STATE:?VELMORA_WINE_STATE must name the session directory}
mkdir -p "$state"
state=$(cd "$state" && pwd)
export VELMORA_WINE_STATE=$state
export WINEPREFIX=${WINEPREFIX:-$(dirname "$state")/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko install dialogs; nothing here needs them.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Wine reads the command line and file names in the Unix locale's encoding.
export LC_ALL=${VELMORA_WINE_LOCALE:-C.UTF-8}

display_file=$state/display
xvfb_pid_file=$state/xvfb.pid

log() { printf '[wine-run] %s\n' "$*" >&2; }

wine_bin=$(command -v wine || true)
[ -n "$wine_bin" ] || { log "wine is not installed (run tools/setup.sh)"; exit 127; }
wineserver_bin=$(command -v wineserver || echo /usr/lib/wine/wineserver)

# A wineserver that keeps no test's output pipes open, so ctest does not wait
# for it when a test ends. It lingers a minute after its last client.
start_wineserver() {
  "$wineserver_bin" -p60 </dev/null >/dev/null 2>&1 9>&- || true
}

make_prefix() {
  exec 9>"$state/prefix.lock"
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "creating Wine prefix $WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    DISPLAY='' "$wine_bin" wineboot -i </dev/null >/dev/null 2>&1 9>&-
    "$wineserver_bin" -w 9>&-
  fi
  flock -u 9
  exec 9>&-
}

set_fonts() {
  # Traditional Chinese UI fonts map to the installed CJK font. The .reg file
  # is UTF-16 so that the names survive any locale.
  local reg=$state/fonts.reg
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    for face in 細明體 新細明體 PMingLiU MingLiU; do
      printf '"%s"="WenQuanYi Micro Hei"\r\n' "$face"
    done
  } | iconv -f UTF-8 -t UTF-16 > "$reg"
  "$wine_bin" regedit /S "$(to_winpath "$reg")" </dev/null >/dev/null 2>&1
}

to_winpath() {
  local p=$1
  case $p in /*) ;; *) p=$PWD/$p ;; esac
  printf 'Z:%s\n' "${p//\//\\}"
}

display_answers() {
  [ -n "${1:-}" ] && DISPLAY=$1 xdpyinfo >/dev/null 2>&1
}

start_xvfb() {
  local geometry=${VELMORA_WINE_GEOMETRY:-1024x768x24}
  local numfile=$state/xvfb.num
  rm -f "$numfile"
  # -displayfd: Xvfb takes the first free display number and writes it once
  # it accepts connections. setsid keeps it out of ctest's process group;
  # its output goes to a file so ctest does not wait on it.
  # -terminate 300: should a run be interrupted before its cleanup, the
  # server ends by itself five minutes after its last client (Wine's desktop
  # process, which lasts as long as wineserver) has gone.
  setsid Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp -terminate 300 \
    3>"$numfile" </dev/null >"$state/xvfb.log" 2>&1 &
  local pid=$!
  local i
  for i in $(seq 1 100); do
    if [ -s "$numfile" ]; then break; fi
    if ! kill -0 "$pid" 2>/dev/null; then log "Xvfb failed:"; cat "$state/xvfb.log" >&2; return 1; fi
    sleep 0.1
  done
  [ -s "$numfile" ] || { log "Xvfb did not start"; kill "$pid" 2>/dev/null; return 1; }
  echo "$pid" > "$xvfb_pid_file"
  printf ':%s\n' "$(tr -dc 0-9 < "$numfile")" > "$display_file"
  log "started Xvfb $(cat "$display_file") ($geometry), pid $pid"
}

# An Xorg of this session on the given configuration, started as start_xvfb
# starts Xvfb (it needs no virtual terminal with these options).
start_xorg() {
  local config=$1
  local numfile=$state/xvfb.num
  command -v Xorg >/dev/null || { log "Xorg is not installed (run tools/setup.sh)"; return 1; }
  rm -f "$numfile"
  setsid Xorg -displayfd 3 -config "$config" -noreset -nolisten tcp -logfile "$state/xorg.log" \
    -novtswitch -sharevts 3>"$numfile" </dev/null >"$state/xorg.out" 2>&1 &
  local pid=$!
  local i
  for i in $(seq 1 200); do
    if [ -s "$numfile" ]; then break; fi
    if ! kill -0 "$pid" 2>/dev/null; then log "Xorg failed:"; tail -20 "$state/xorg.log" >&2; return 1; fi
    sleep 0.1
  done
  [ -s "$numfile" ] || { log "Xorg did not start"; kill "$pid" 2>/dev/null; return 1; }
  echo "$pid" > "$xvfb_pid_file"
  printf ':%s\n' "$(tr -dc 0-9 < "$numfile")" > "$display_file"
  log "started Xorg $(cat "$display_file") ($config), pid $pid"
}

# Whether the PID in xvfb.pid is an X server (Xvfb or Xorg) this session
# started (PIDs are reused; the environment tells our server from anyone
# else's).
our_xvfb() {
  local pid
  [ -s "$xvfb_pid_file" ] || return 1
  pid=$(cat "$xvfb_pid_file")
  case $(cat "/proc/$pid/comm" 2>/dev/null) in Xvfb|Xorg) ;; *) return 1 ;; esac
  local environment
  environment=$(tr '\0' '\n' < "/proc/$pid/environ" 2>/dev/null) || return 1
  grep -qxF "VELMORA_WINE_STATE=$state" <<< "$environment"
}

choose_display() {
  local want=${VELMORA_WINE_DISPLAY:-auto}
  if [ "$want" = auto ] && display_answers "${DISPLAY:-}"; then
    want=$DISPLAY
  fi
  case $want in
    auto|xvfb)
      if our_xvfb && [ -s "$display_file" ] && display_answers "$(cat "$display_file")"; then
        return 0  # our Xvfb from an earlier setup is still there
      fi
      stop_xvfb
      start_xvfb ;;
    xorg:*)
      if our_xvfb && [ -s "$display_file" ] && display_answers "$(cat "$display_file")"; then
        return 0
      fi
      stop_xvfb
      start_xorg "${want#xorg:}" ;;
    *)
      display_answers "$want" || { log "display $want does not answer"; return 1; }
      stop_xvfb
      printf '%s\n' "$want" > "$display_file"
      log "using display $want" ;;
  esac
}

stop_xvfb() {
  if our_xvfb; then
    local pid
    pid=$(cat "$xvfb_pid_file")
    kill "$pid" 2>/dev/null || true
    local i
    for i in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    log "stopped X server pid $pid"
  fi
  rm -f "$xvfb_pid_file" "$display_file"
}

use_display() {
  if [ -s "$display_file" ]; then
    DISPLAY=$(cat "$display_file")
    export DISPLAY
  fi
}

# Runs the program with its output in files, not in our caller's pipes:
# Wine's helper processes (services, explorer) inherit the program's
# descriptors and outlive it, and ctest would wait for them to close.
# The output is passed on when the program ends; the Windows C runtime's
# CR LF line ends become LF (GoogleTest's test list goes through CMake's
# parser, which expects Unix line ends).
run_program() {
  local out err rc child
  out=$(mktemp "$state/out.XXXXXX")
  err=$(mktemp "$state/err.XXXXXX")
  pass_on() {
    tr -d '\r' < "$out"
    tr -d '\r' < "$err" >&2
    rm -f "$out" "$err"
  }
  local attempt started
  for attempt in 1 2; do
    started=$(date +%s%N)
    "$wine_bin" "$@" </dev/null >"$out" 2>"$err" &
    child=$!
    trap 'kill "$child" 2>/dev/null; wait "$child" 2>/dev/null; pass_on; exit 143' TERM INT HUP
    rc=0
    wait "$child" || rc=$?
    trap - TERM INT HUP
    # Now and then (seen on a loaded machine, about once in a few hundred
    # runs) wine gives up within a fraction of a second without a word and
    # without starting the program. That is the launcher failing, not the
    # program: say so, and start it once more.
    if [ "$attempt" = 1 ] && [ "$rc" != 0 ] && [ ! -s "$out" ] && [ ! -s "$err" ] &&
       [ $(( ($(date +%s%N) - started) / 1000000 )) -lt 1500 ]; then
      log "wine ended at once with code $rc and printed nothing; starting $1 again"
      continue
    fi
    break
  done
  pass_on
  return "$rc"
}

# Sets the prefix's LogPixels (the user's and the machine's font DPI) to
# VELMORA_WINE_LOGPIXELS and restarts the session, which reads it when it
# starts. Nothing to do when the session already runs at that scale.
apply_logpixels() {
  local want=${VELMORA_WINE_LOGPIXELS:-}
  [ -n "$want" ] || return 0
  [ "$(cat "$state/logpixels" 2>/dev/null)" = "$want" ] && return 0
  local key
  for key in 'HKCU\Control Panel\Desktop' \
             'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    "$wine_bin" reg add "$key" /v LogPixels /t REG_DWORD /d "$want" /f </dev/null >/dev/null 2>&1 9>&-
  done
  "$wineserver_bin" -k 2>/dev/null || true
  "$wineserver_bin" -w 2>/dev/null || true
  start_wineserver
  echo "$want" > "$state/logpixels"
  log "display scale: LogPixels $want"
}

case ${1:-} in
  setup)
    make_prefix
    choose_display
    # Wine's desktop process keeps the display it was started with for the
    # wineserver's life: end a session begun without one (gtest discovery
    # runs before this fixture) so that the tests' session uses ours.
    "$wineserver_bin" -k 2>/dev/null || true
    "$wineserver_bin" -w 2>/dev/null || true
    use_display
    start_wineserver
    set_fonts
    rm -f "$state/logpixels"
    case ${VELMORA_WINE_DISPLAY:-} in
      xorg:*)
        # Wine's XF86VidMode settings cover the first head only and leave the
        # others out of the desktop; without them every head is a monitor.
        # The X11 driver reads this when a process starts, so the session
        # starts again after it.
        "$wine_bin" reg add 'HKCU\Software\Wine\X11 Driver' /v UseXVidMode /d N /f \
          </dev/null >/dev/null 2>&1
        "$wineserver_bin" -k 2>/dev/null || true
        "$wineserver_bin" -w 2>/dev/null || true
        start_wineserver ;;
    esac
    echo "WINEPREFIX=$WINEPREFIX DISPLAY=$(cat "$display_file")"
    ;;
  cleanup)
    "$wineserver_bin" -k 2>/dev/null || true
    "$wineserver_bin" -w 2>/dev/null || true
    stop_xvfb
    ;;
  winpath)
    to_winpath "${2:?path}"
    ;;
  env)
    use_display
    printf 'export WINEPREFIX=%q WINEARCH=%q WINEDEBUG=%q WINEDLLOVERRIDES=%q LC_ALL=%q\n' \
      "$WINEPREFIX" "$WINEARCH" "$WINEDEBUG" "$WINEDLLOVERRIDES" "$LC_ALL"
    [ -n "${DISPLAY:-}" ] && printf 'export DISPLAY=%q\n' "$DISPLAY"
    ;;
  "")
    log "usage: wine-run.sh PROGRAM.exe [ARGS...] | setup | cleanup | winpath PATH | env"
    exit 2
    ;;
  *)
    make_prefix
    start_wineserver
    use_display
    apply_logpixels
    run_program "$@"
    ;;
esac
