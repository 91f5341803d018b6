# Sourced by the shell checks (tests/desktop, tests/camera).

# Polls `condition` (a command) for up to `seconds`.
wait_for() {
    local seconds=$1
    shift
    local end=$((SECONDS + seconds))
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $end ] || return 1
        sleep 0.2
    done
}
