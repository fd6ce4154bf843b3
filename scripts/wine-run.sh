#!/usr/bin/env bash
# Runs a Win32 program under Wine on a private headless X screen.
#
#   wine-run.sh [--prefix DIR] [--screen WxHxD | --display DISPLAY] PROGRAM.EXE [ARGS...]
#
# Starts an Xvfb of its own on a free display number, uses (and on first use creates) the Wine
# prefix DIR, silences Wine's own diagnostics (unless MORVIT_WINEDEBUG names channels), passes standard input and output through untouched and
# exits with the program's exit status. Only the Xvfb it started is stopped. On a host that cannot execute 32-bit
# programs (scripts/host32.sh) it says so and exits with 69 before starting anything.
# With --display it starts no Xvfb and runs the program on that existing X display, for example a
# desktop's real screen; --screen then has no effect.
set -u

prefix=${MORVIT_WINEPREFIX:-}
screen=${MORVIT_SCREEN:-1024x768x24}
existing_display=
while [ $# -gt 0 ]; do
  case "$1" in
    --prefix) prefix=$2; shift 2 ;;
    --screen) screen=$2; shift 2 ;;
    --display) existing_display=$2; shift 2 ;;
    *) break ;;
  esac
done
if [ $# -lt 1 ]; then
  echo "usage: wine-run.sh [--prefix DIR] [--screen WxHxD | --display DISPLAY] PROGRAM.EXE [ARGS...]" >&2
  exit 2
fi
# shellcheck source=scripts/host32.sh
. "$(dirname "$0")/host32.sh"
if ! host_runs_32bit; then
  explain_no_32bit wine-run.sh
  echo "  What to do: run $1 on a Windows PC, or use $host32_elsewhere." >&2
  exit "$host32_unavailable"
fi

[ -n "$prefix" ] || prefix="${XDG_CACHE_HOME:-$HOME/.cache}/morvit-wineprefix"
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)

# MORVIT_WINEDEBUG names Wine's debug channels for a trace (on standard error); none by default.
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=${MORVIT_WINEDEBUG:--all}
# No desktop integration or first-run dialogs in a test prefix.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:+$WINEDLLOVERRIDES;}mscoree,mshtml,winemenubuilder.exe="

xvfb_pid=
wine_started=
# Wine's processes of this prefix, by number: their command lines name a Windows program, and they have the prefix.
# shellcheck disable=SC2317 # called by cleanup below
prefix_processes() {
  local pid
  for pid in $(pgrep -i -f '\.exe'); do
    [ "$pid" = $$ ] && continue
    grep -qzx "WINEPREFIX=$prefix" "/proc/$pid/environ" 2>/dev/null && echo "$pid"
  done
}
# shellcheck disable=SC2317 # called by the trap below
cleanup() {
  # A Ctrl+C on the terminal reaches every process of its group: one pressed as the program ends would otherwise
  # end the commands below halfway (wineserver -k among them, the prefix's processes then left running). Ignored
  # here, it is ignored by them too.
  trap '' INT TERM
  if [ -n "$xvfb_pid" ] || [ -n "$wine_started" ]; then
    # Wine's desktop process stays bound to this screen: end the prefix's processes with it. Most end some moments
    # after their server; one still bound to the screen when it goes says "X connection to :N broken" on the
    # terminal. So the screen goes last: after a second the processes left are killed, and it waits for them.
    wineserver -k 2>/dev/null
    local left tick
    for tick in $(seq 1 40); do
      left=$(prefix_processes)
      [ -z "$left" ] && break
      if [ "$tick" = 20 ]; then
        echo "wine-run.sh: Wine's processes were still running a second after their server was ended: killed" >&2
        # shellcheck disable=SC2086 # one number a word
        kill -KILL $left 2>/dev/null
      fi
      sleep 0.05
    done
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# One run per prefix at a time: a prefix has one desktop process, bound to one screen.
exec 8>"$prefix.lock"
flock 8

if [ -n "$existing_display" ]; then
  # A local display :N listens on its socket; without one Wine would fail later and less clearly.
  if [[ "$existing_display" =~ ^:([0-9]+)(\.[0-9]+)?$ ]] && [ ! -S "/tmp/.X11-unix/X${BASH_REMATCH[1]}" ]; then
    echo "wine-run.sh: no X display $existing_display (no socket /tmp/.X11-unix/X${BASH_REMATCH[1]})" >&2
    exit 125
  fi
  export DISPLAY="$existing_display"
else
  # Xvfb writes the display number it chose to the given descriptor once it accepts connections.
  # Depth 32 does not start; 24 gives a 32 bpp primary surface.
  display_file=$(mktemp)
  # A session of its own: Ctrl+C in a terminal is for the program, not for its screen.
  setsid Xvfb -displayfd 9 -screen 0 "$screen" -nolisten tcp -noreset 9>"$display_file" 8>&- >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -s "$display_file" ] && break
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
      echo "wine-run.sh: Xvfb did not start with screen $screen" >&2
      rm -f "$display_file"
      exit 125
    fi
    sleep 0.05
  done
  display=$(head -n 1 "$display_file")
  rm -f "$display_file"
  if [ -z "$display" ]; then
    echo "wine-run.sh: Xvfb gave no display number" >&2
    exit 125
  fi
  export DISPLAY=":$display"
fi

wine_started=1
if [ ! -f "$prefix/system.reg" ]; then
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
# Wine's service processes (services.exe, winedevice.exe, plugplay.exe, ...) start with the first program that
# a new server runs, and write what goes wrong with them to that program's standard error: the program's
# terminal. Under Wine 8 about one start in three hundred faults inside winedevice.exe, in ntoskrnl.exe's
# IoCreateDevice ("Unhandled page fault on write access to 00000004", then Wine's debugger), a race of Wine's
# own that leaves the program untouched. So a server that stays is started here, and its services with a boot
# whose output goes nowhere; the program then finds them running. cleanup ends the server.
wineserver -p10
wineboot >/dev/null 2>&1

# Ctrl+C in a terminal reaches the program through Wine's console; its exit status is passed on. A key that
# comes as the program's process ends can kill that process with SIGSEGV (bash then says "Segmentation fault"):
# Wine 8's SIGINT handler starts a thread even in a process whose end has begun. The program's text is whole.
trap : INT
wine "$@" 8>&-
exit $?
