# Shell helpers the tools share: sourced, never run. Set KORVA_LOG_TAG before sourcing to name the lines.

# A progress line on standard error, so that a script's standard output stays its result.
log() { printf '[%s] %s\n' "${KORVA_LOG_TAG:-korva}" "$*" >&2; }

# Minutes and seconds since an earlier $(date +%s).
elapsed() { printf '%dm%02ds' $(( ($(date +%s) - $1) / 60 )) $(( ($(date +%s) - $1) % 60 )); }

# Commands to run when the script ends, however it ends; later ones run first, like the objects' destructors.
korva_exit_commands=()
on_exit() {
  korva_exit_commands=("$*" "${korva_exit_commands[@]}")
  trap 'for korva_cmd in "${korva_exit_commands[@]}"; do eval "$korva_cmd" || true; done' EXIT
}

# Starts a virtual X server of 1280 × 800 on a display of its own (the first free one from a random start at
# $1, default 100), exports DISPLAY and stops it when the script ends.
start_xvfb() {
  local n=$(( ${1:-100} + RANDOM % 100 ))
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$(( n + 1 )); done
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  local pid=$!
  on_exit "kill $pid 2>/dev/null"
  export DISPLAY=":$n"
  local _
  for _ in $(seq 1 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    sleep 0.1
  done
  log "the virtual X server on :$n did not start"
  return 1
}
