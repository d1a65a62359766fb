# dpkg for the stage scripts that install the package (sourced, not run):
# `dpkg_retry ARGS...` runs `$sudo dpkg ARGS...`, again every 2 s for up to
# two minutes while another dpkg or apt holds its lock (dpkg refuses at
# once then), and keeps what it printed in `dpkg_output`; on a failure it
# prints that on standard error and returns 1.
dpkg_output=
dpkg_retry() {
    local tries=0
    until dpkg_output=$($sudo dpkg "$@" 2>&1); do
        if ! grep -q -i lock <<<"$dpkg_output" || ((++tries >= 60)); then
            echo "$dpkg_output" >&2
            return 1
        fi
        sleep 2
    done
}
