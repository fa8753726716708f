#!/usr/bin/env bash
# Starts or stops the reference service for the Windows network tests.
#   service_fixture.sh start <state-dir>   starts it on a free loopback port; the port goes
#                                          into <state-dir>/port, its log into <state-dir>/log
#   service_fixture.sh stop <state-dir>    stops the service started there
# The service also stops by itself after 15 minutes, so that an interrupted test run leaves
# no process behind.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
service="$here/../../tools/service/norvalisk_service.py"
action=${1:?usage: service_fixture.sh start|stop <state-dir>}
state=${2:?usage: service_fixture.sh start|stop <state-dir>}

# True while the process runs (an ended one waiting to be reaped counts as gone).
alive() {
  local state
  state=$(ps -o stat= -p "$1" 2>/dev/null) || return 1
  [ -n "$state" ] && [ "${state:0:1}" != Z ]
}

stop() {
  [ -f "$state/pid" ] || return 0
  local pid
  pid=$(cat "$state/pid")
  rm -f "$state/pid"
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 50); do
    alive "$pid" || return 0
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null || true
}

case "$action" in
  start)
    stop
    rm -rf "$state"
    mkdir -p "$state"
    setsid python3 "$service" --port 0 --data "$state/data" --record "$state/record" --control \
      --ready-file "$state/port" --exit-after 900 --log "$state/log" </dev/null >/dev/null 2>&1 &
    echo $! > "$state/pid"
    for _ in $(seq 200); do
      if [ -s "$state/port" ]; then
        echo "reference service on port $(cat "$state/port")"
        exit 0
      fi
      alive "$(cat "$state/pid")" || break
      sleep 0.05
    done
    echo "reference service did not start; log:" >&2
    cat "$state/log" >&2 2>/dev/null || true
    stop
    exit 1
    ;;
  stop)
    stop
    ;;
  *)
    echo "usage: service_fixture.sh start|stop <state-dir>" >&2
    exit 2
    ;;
esac
