# Shared by scripts/test and scripts/run: installs what is missing, and gives
# Wine a private prefix and a display of its own.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# Extra arguments name further needs as command:package, e.g. gnuplot:gnuplot-nox.
ensure_packages() {
  local missing=() need
  for need in "$@"; do
    command -v "${need%%:*}" >/dev/null || missing+=("${need#*:}")
  done
  command -v cmake >/dev/null || missing+=(cmake)
  command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64-posix)
  command -v x86_64-w64-mingw32-gcc-posix >/dev/null || missing+=(gcc-mingw-w64-x86-64-posix)
  command -v x86_64-w64-mingw32-windres >/dev/null || missing+=(binutils-mingw-w64-x86-64)
  command -v wine >/dev/null || missing+=(wine)
  [ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
  command -v Xvfb >/dev/null || missing+=(xvfb)
  [ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
  [ ${#missing[@]} -eq 0 ] && return 0

  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

# A virtual display for everything Wine starts, unless one is given. Wine's
# server must first start with a display, so this comes before any Wine call.
start_display() {
  if [ -n "${DISPLAY:-}" ]; then
    return 0
  fi
  local fifo display
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb_pid=$!
  read -r display <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$display"
}

stop_display() {
  # The Wine server goes first: it must not outlive its display.
  stop_wine
  if [ -n "${xvfb_pid:-}" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
}

# A Wine prefix inside the build folder, made once; never the user's ~/.wine.
# The second argument says whether a window manager looks after Wine's
# windows (Y on a desktop). On a bare Xvfb nobody does, and Wine would wait
# two seconds for one each time a window closes.
use_wineprefix() {
  make_wineprefix "$1/wineprefix" "${2:-N}"
}

# The same for a prefix at any path (the HID tests have their own).
make_wineprefix() {
  export WINEPREFIX="$1"
  export WINEDEBUG=-all
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    # No Mono or Gecko: there is nothing to download them from, and Kestra needs neither.
    WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
  fi
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "${2:-N}" /f >/dev/null 2>&1
  wineserver -w
}

# Starts the prefix's Wine server and services from here, for a whole test
# run. Started by the first test instead, the services would hold that test's
# output pipe open, and CTest would count the test as running until the run
# ended, leaving one of its two slots idle. The desktop (explorer.exe) is the
# same, but Wine closes it a second after the last program ends and the next
# one starts it again: a cmd waiting on its input keeps it for the run.
keep_wine_running() {
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1
  exec {wine_keeper}> >(exec wine cmd >/dev/null 2>&1)
}

stop_wine() {
  if [ -n "${wine_keeper:-}" ]; then
    exec {wine_keeper}>&-
    unset wine_keeper
  fi
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
}
