#!/usr/bin/env bash
# Installs what is missing, builds, and starts ThermaSentinel.
#
# When no device is configured (no settings yet, no device type stored, or
# the stored port does not exist), an emulated single-colour pyrometer is
# started on a pseudo-terminal first and the settings are pointed at it, so
# the program connects and shows live values at once. The emulator stops
# when ThermaSentinel ends.
#
#   TS_DEVSIM=1   always use the emulator      TS_DEVSIM=0   never
#   TS_SKIP_BUILD=1  start what is built without installing or building
#   TS_BUILD_DIR  the build folder (default build/)
#   TS_JOBS       parallel build jobs (default: the number of cores)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${TS_BUILD_DIR:-$here/build}"
if [ "${TS_SKIP_BUILD:-0}" != 1 ]; then
  bash "$here/scripts/install-deps.sh"
  bash "$here/scripts/build.sh"
fi
program="$build/app/ThermaSentinel"
devsim="$build/tools/devsim/thermasentinel-devsim"

config_home="${XDG_CONFIG_HOME:-$HOME/.config}"
settings="$config_home/ThermaSentinel/ThermaSentinel.ini"
demo_dir="$config_home/ThermaSentinel/demo"
demo_ports="$demo_dir/ports.ini"
demo_marker="$demo_dir/configured"

# Value of <key> in [<section>] of an ini file (case-insensitive), empty when absent.
ini_get() {
  [ -f "$1" ] || return 0
  awk -v s="$2" -v k="$3" 'BEGIN{s=tolower(s);k=tolower(k)}
    {sub(/\r$/,"")}
    /^[ \t]*\[/{cur=tolower($0);gsub(/^[ \t]*\[|\][ \t]*$/,"",cur);next}
    cur==s{p=index($0,"=");if(p>0){key=tolower(substr($0,1,p-1));gsub(/^[ \t]+|[ \t]+$/,"",key)
      if(key==k){v=substr($0,p+1);gsub(/^[ \t]+|[ \t]+$/,"",v);print v;exit}}}' "$1"
}

# Sets <key>=<value> in [<section>] (CR LF lines, as the program writes them),
# keeping every other line.
ini_set() {
  local file="$1" section="$2" key="$3" value="$4" tmp
  mkdir -p "$(dirname "$file")"
  [ -f "$file" ] || : >"$file"
  tmp="$(mktemp "$file.XXXXXX")"
  awk -v s="$section" -v k="$key" -v v="$value" 'BEGIN{ls=tolower(s);lk=tolower(k);done=0;cur=""}
    {sub(/\r$/,"")}
    /^[ \t]*\[/{ if(cur==ls && !done){printf "%s=%s\r\n",k,v;done=1}
      cur=tolower($0);gsub(/^[ \t]*\[|\][ \t]*$/,"",cur);printf "%s\r\n",$0;next}
    { if(cur==ls && !done){p=index($0,"=");if(p>0){key=tolower(substr($0,1,p-1));gsub(/^[ \t]+|[ \t]+$/,"",key)
        if(key==lk){printf "%s=%s\r\n",k,v;done=1;next}}}
      printf "%s\r\n",$0 }
    END{ if(!done){ if(cur!=ls) printf "[%s]\r\n",s; printf "%s=%s\r\n",k,v } }' "$file" >"$tmp"
  mv "$tmp" "$file"
}

# Device node of COM<n> as the program maps it without a ports file.
default_port_path() {
  local n="$1"
  if [ "$n" -ge 1 ] && [ "$n" -le 32 ]; then echo "/dev/ttyS$((n - 1))"
  elif [ "$n" -ge 33 ] && [ "$n" -le 96 ]; then echo "/dev/ttyUSB$((n - 33))"
  elif [ "$n" -ge 97 ] && [ "$n" -le 160 ]; then echo "/dev/ttyACM$((n - 97))"
  fi
}

stored_port_reachable() {
  local com path ports_file="${THERMASENTINEL_PORTS:-$config_home/ThermaSentinel/ports.ini}"
  com="$(ini_get "$settings" COM COM)"
  com="${com:-1}"
  path="$(ini_get "$ports_file" Ports "COM$com")"
  [ -n "$path" ] || path="$(default_port_path "$com")"
  case "$path" in
    rfc2217://*) return 0 ;;
    "") return 1 ;;
  esac
  [ -e "$path" ] || return 1
  # The ttyS nodes always exist; only those with a UART behind them count.
  case "$path" in
    /dev/ttyS*) [ "$(cat "/sys/class/tty/${path#/dev/}/type" 2>/dev/null || echo 0)" != 0 ] ;;
    *) return 0 ;;
  esac
}

use_devsim="${TS_DEVSIM:-auto}"
if [ "$use_devsim" = auto ]; then
  device_type="$(ini_get "$settings" COM DeviceType)"
  # Settings that run.sh pointed at the emulator earlier (same port, same
  # device type) keep using it; a device chosen since then does not.
  demo_again=0
  if [ -f "$demo_marker" ] && [ "$(cat "$demo_marker")" = "$(ini_get "$settings" COM COM)" ] &&
     [ "$device_type" = 1 ]; then
    demo_again=1
  fi
  if [ ! -f "$settings" ] || [ "$demo_again" = 1 ] || [ -z "$device_type" ] || [ "$device_type" = 0 ] ||
     ! stored_port_reachable; then
    use_devsim=1
  else
    use_devsim=0
  fi
fi

if [ "$use_devsim" != 1 ]; then
  exec "$program" "$@"
fi

com="$(ini_get "$settings" COM COM)"
case "$com" in ''|*[!0-9]*) com=1 ;; esac
mkdir -p "$demo_dir"
rm -f "$demo_ports"
demo_serial=1125100
"$devsim" --model argo --serial "$demo_serial" --pty --ports-file "$demo_ports" --com "$com" \
  >"$demo_dir/devsim.log" 2>&1 &
devsim_pid=$!
stop_devsim() { kill "$devsim_pid" 2>/dev/null || true; wait "$devsim_pid" 2>/dev/null || true; }
trap stop_devsim EXIT
for _ in $(seq 1 50); do
  [ -n "$(ini_get "$demo_ports" Ports "COM$com")" ] && break
  if ! kill -0 "$devsim_pid" 2>/dev/null; then
    echo "run.sh: the device emulator did not start:" >&2
    cat "$demo_dir/devsim.log" >&2
    exit 1
  fi
  sleep 0.1
done
echo "run.sh: no device configured; an emulated pyrometer serves COM$com ($(ini_get "$demo_ports" Ports "COM$com"))"

# The program's own settings keys: a single-colour device on COM<n> at
# 115200 Bd, connected and measuring automatically.
ini_set "$settings" COM COM "$com"
ini_set "$settings" COM Baudrate 5
ini_set "$settings" COM DeviceType 1
# The emulated device's serial: the start-up scan takes it by itself.
ini_set "$settings" COM Argo_Serial "$demo_serial"
ini_set "$settings" Options AutoScan 1
ini_set "$settings" Options AutoStart 1
echo "$com" >"$demo_marker"

export THERMASENTINEL_PORTS="$demo_ports"
"$program" "$@" &
program_pid=$!
# A terminal's Ctrl+C or a SIGTERM to this script ends the program the
# ordinary way (it writes its settings); the emulator stops after it.
trap 'kill -TERM "$program_pid" 2>/dev/null || true' INT TERM
status=0
while kill -0 "$program_pid" 2>/dev/null; do
  wait "$program_pid" && status=0 || status=$?
done
exit "$status"
