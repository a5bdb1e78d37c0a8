# Shared by the run and test commands: packages, building, and a private virtual desktop.
# shellcheck shell=bash

TOP=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# What building, running, testing and packaging Tavelin needs on Debian 12 or Ubuntu 22.04 and later.
PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libwayland-dev libwayland-bin wayland-protocols sway grim wl-clipboard wtype foot weston xwayland
  xdg-desktop-portal xdg-desktop-portal-wlr pipewire
  qt6-base-dev qt6-svg-dev libqt6svg6 qt6-qpa-plugins libgl-dev
  libxcb1-dev libxcb-xinput-dev libxcb-xkb-dev libxkbcommon-dev libxkbcommon-x11-dev
  libxcb-composite0-dev libxcb-shape0-dev libxcb-xfixes0-dev libxcb-image0-dev libxcb-cursor-dev
  libxcb-shm0-dev libxcb-randr0-dev libxcb-damage0-dev libx11-dev zlib1g-dev
  libgtest-dev libbenchmark-dev
  xvfb openbox xcompmgr picom tint2 maim x11-xkb-utils x11-utils x11-xserver-utils x11-apps xdotool xclip xterm imagemagick dbus dbus-x11
  fonts-dejavu-core xfonts-base python3 python3-gi python3-xcffib nodejs
  librsvg2-bin desktop-file-utils appstream man-db lintian
)
# The window managers the end-to-end tests run under besides openbox, without what their desktops
# recommend (sessions, panels, settings daemons): about 230 packages rather than a whole desktop.
MANAGER_PACKAGES=(i3-wm fluxbox xfwm4 mutter kwin-x11)

log() { printf '\033[1m[tavelin]\033[0m %s\n' "$*" >&2; }

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing_packages() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || echo "$p"
  done
}

# apt-get as root, waiting for another package manager to finish first: a fresh Ubuntu runs its
# daily update at boot, and apt-get gives up on a held lock at once (update on the lists' lock,
# install on dpkg's). Gives up after APT_LOCK_WAIT_SECONDS (600).
apt_get() {
  local errors waited=0 limit=${APT_LOCK_WAIT_SECONDS:-600} pause=${APT_LOCK_PAUSE_SECONDS:-5}
  errors=$(mktemp)
  while ! as_root env DEBIAN_FRONTEND=noninteractive apt-get "$@" 2>"$errors"; do
    if ! grep -q "Could not get lock" "$errors" || [ "$waited" -ge "$limit" ]; then
      cat "$errors" >&2
      rm -f "$errors"
      return 1
    fi
    [ "$waited" -gt 0 ] || log "waiting for another package manager: $(grep -m1 "Could not get lock" "$errors" | sed 's/^E: //')"
    sleep "$pause"
    waited=$((waited + pause))
  done
  cat "$errors" >&2
  rm -f "$errors"
}

# Installs through apt-get only what is missing, so a second run costs nothing; with --managers,
# the window managers too.
install_packages() {
  local wanted=() missing=() managers=()
  for p in "$@"; do [ "$p" = --managers ] || wanted+=("$p"); done
  mapfile -t missing < <(missing_packages "${PACKAGES[@]}" "${wanted[@]}")
  [[ " $* " == *" --managers "* ]] && mapfile -t managers < <(missing_packages "${MANAGER_PACKAGES[@]}")
  [ ${#missing[@]} -eq 0 ] && [ ${#managers[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]} ${managers[*]}"
  apt_get update -qq
  [ ${#missing[@]} -eq 0 ] || apt_get install -y -qq "${missing[@]}" >/dev/null
  [ ${#managers[@]} -eq 0 ] || apt_get install -y -qq --no-install-recommends "${managers[@]}" >/dev/null
}

# The official MCP client SDK for the agent-server tests, pinned by tests/e2e/mcp/package-lock.json.
install_mcp_client() {
  local dir="$TOP/tests/e2e/mcp"
  command -v npm >/dev/null || install_packages npm
  [ -d "$dir/node_modules/@modelcontextprotocol/sdk" ] && return 0
  log "installing the MCP client SDK (npm ci)"
  (cd "$dir" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
}

# build_tree DIR [cmake options…]
build_tree() {
  local dir=$1; shift
  cmake -S "$TOP" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j"$(nproc)"
}

# A private desktop: Xvfb, openbox, xcompmgr and a session bus, all ended by pid in stop_desktop.
DESKTOP_PIDS=()
start_desktop() {
  local size=${1:-1440x900}
  local fd_file
  fd_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp +extension COMPOSITE +extension RANDR 3>"$fd_file" \
    >/dev/null 2>&1 &
  DESKTOP_PIDS+=($!)
  for _ in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.05; done
  export DISPLAY=":$(head -n1 "$fd_file")"
  rm -f "$fd_file"
  local bus
  bus=$(mktemp)
  dbus-daemon --session --nofork --print-address=1 >"$bus" 2>/dev/null &
  DESKTOP_PIDS+=($!)
  for _ in $(seq 100); do [ -s "$bus" ] && break; sleep 0.05; done
  DBUS_SESSION_BUS_ADDRESS=$(head -n1 "$bus")
  export DBUS_SESSION_BUS_ADDRESS
  rm -f "$bus"
  openbox --sm-disable >/dev/null 2>&1 &
  DESKTOP_PIDS+=($!)
  for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.05; done
  xcompmgr -n >/dev/null 2>&1 &
  DESKTOP_PIDS+=($!)
  sleep 0.3
  log "virtual desktop on $DISPLAY"
}

# Newest first, each one waited for, so programs end before the X server they talk to.
stop_desktop() {
  local i pid
  for ((i = ${#DESKTOP_PIDS[@]} - 1; i >= 0; i--)); do
    pid=${DESKTOP_PIDS[i]}
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  DESKTOP_PIDS=()
}
