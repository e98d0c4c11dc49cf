# SPDX-FileCopyrightText: 2026 AZIVEX developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the scripts that need an X server of their own (and run by
# scripts/with-xvfb). start_xvfb SCREEN LOG starts Xvfb with a screen of SCREEN
# (WIDTHxHEIGHTxDEPTH), its output in LOG, waits until it accepts connections,
# then exports DISPLAY and sets xvfb_pid; when the server does not come up it
# says why and returns 1, so nothing is run against a display that is not there.
#
# Xvfb picks a free display itself and tells its number once it listens, so a
# display in use elsewhere is never shared; AZIVEX_XVFB_DISPLAY (":63") asks for
# one display instead, where display numbers are handed out. -noreset: a server
# that resets when its last client leaves turns the next one away for a moment.
start_xvfb() {
  local screen="$1" log="$2" number
  number="$(mktemp)"
  # shellcheck disable=SC2086 # the display, when asked for, is one word
  Xvfb ${AZIVEX_XVFB_DISPLAY:-} -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset \
    3>"$number" >"$log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 150); do
    [ -s "$number" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ ! -s "$number" ] || ! kill -0 "$xvfb_pid" 2>/dev/null; then
    rm -f "$number"
    kill "$xvfb_pid" 2>/dev/null || true
    echo "Xvfb did not start (${AZIVEX_XVFB_DISPLAY:-any free display}):" >&2
    tail -5 "$log" | sed 's/^/  /' >&2
    return 1
  fi
  export DISPLAY=":$(head -1 "$number")"
  rm -f "$number"
}
