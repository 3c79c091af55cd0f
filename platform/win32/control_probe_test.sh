#!/usr/bin/env bash
# Stop and start requests on running programs under wine (run by ctest
# through scripts/test-windows, in its wine session):
# - a console program stops cleanly on Ctrl+C (wine turns SIGINT into it);
# - a service is started, told PARAMCHANGE (a start request) and STOP (a
#   stop request) by the service control manager, and reports itself
#   running, then stopped with exit code 0.
#   control_probe_test.sh WINE PROBE_EXE
set -uo pipefail
wine=$1
probe=$2
work=$(mktemp -d)
name=TillgateProbe$$
failures=0
cleanup() {
  "$wine" "$probe" remove "$name" >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAILED: $*"; failures=$((failures + 1)); }
# Waits up to 10 s for LOG to hold LINE.
wait_for() {
  for _ in $(seq 1 200); do
    grep -qxF "$2" "$1" 2>/dev/null && return 0
    sleep 0.05
  done
  fail "no '$2' in $1: $(cat "$1" 2>/dev/null)"
  return 1
}
windows_path() { winepath -w "$1" 2>/dev/null; }

log=$work/console.log
"$wine" "$probe" console "$(windows_path "$log")" </dev/null &
pid=$!
if wait_for "$log" listening; then
  kill -INT "$pid"
  wait "$pid"
  code=$?
  [ "$code" -eq 0 ] || fail "console program ended with $code after Ctrl+C"
  wait_for "$log" "stop: Ctrl+C" && echo "console: Ctrl+C stops it cleanly"
else
  kill "$pid" 2>/dev/null
fi

log=$work/service.log
"$wine" "$probe" install "$name" "$(windows_path "$log")" || fail "service not installed"
"$wine" "$probe" start "$name" || fail "service not started"
if wait_for "$log" running; then
  state=$("$wine" "$probe" state "$name" | tr -d '\r')
  [ "$state" = running ] || fail "service state '$state', not running"
  "$wine" "$probe" control "$name" paramchange || fail "PARAMCHANGE refused"
  wait_for "$log" "start: service paramchange"
  "$wine" "$probe" control "$name" stop || fail "STOP refused"
  wait_for "$log" "stop: service stop"
  for _ in $(seq 1 100); do
    state=$("$wine" "$probe" state "$name" | tr -d '\r')
    [ "$state" = "stopped 0 0" ] && break
    sleep 0.1
  done
  [ "$state" = "stopped 0 0" ] || fail "service state '$state' after STOP"
  echo "service: $(tr '\n' ';' <"$log")"
fi
"$wine" "$probe" remove "$name" || fail "service not removed"

[ "$failures" -eq 0 ] && echo "1 passed, 0 failed" && exit 0
echo "0 passed, 1 failed"
exit 1
