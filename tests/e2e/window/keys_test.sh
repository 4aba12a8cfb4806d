#!/usr/bin/env bash
# Single keys step the parameters and the window shows the new image at once:
# each expected image is pallodex-render's output for the settings that the
# keys should have produced.
#   tests/e2e/window/keys_test.sh [PREFIX EXE RENDER]
set -uo pipefail
source "$(dirname "$0")/common.sh"
px_begin

px_start
px_expect tiled default

# Settings accumulate as KEY=VALUE words; each step adds or replaces one.
declare -A want=()
step() {  # step "KEYS" KEY=VALUE... : press the keys, expect the settings
    local keys=$1 kv
    shift
    for kv in "$@"; do want[${kv%%=*}]=${kv#*=}; done
    local sets=() k
    for k in "${!want[@]}"; do sets+=("$k=${want[$k]}"); done
    # shellcheck disable=SC2086
    e2e_key "$PX_WID" $keys || e2e_fail "pressing $keys"
    px_expect tiled "step$((++n))" "${sets[@]}"
    px_ok "$keys -> ${sets[*]}"
}
n=0

step j basex=4            # the pattern moves 4 px right
step Right bmpw=132       # 4 px wider, the tiles follow
step f pat_x=1            # next horizontal method: triangle
step 1 base_r=8
step "q q" base_r=-8      # two presses, two steps
step comma basey=-4
step "a a a" mode_r=3
step a mode_r=0           # the edge mode wraps after 3
step "Down Up Up" bmph=124
step "6 y y" vx_b=-263    # vx_b is -255 by default
# Z and C (without Ctrl) are not stepping keys: after them only K's step may
# show. (X is no stepping key either: it opens the variations window, whose
# own script tests it.)
step "z c k" basey=0

px_quit close
e2e_pass "$PX_CHECKS"
