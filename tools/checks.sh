# Counted checks for the stage scripts (sourced, not run): `check WHAT
# COMMAND...` runs COMMAND and counts it in `passed` or `failed`, naming a
# failure; it returns the command's success, so `check ... || show-why`
# works. `same WHAT EXPECTED ACTUAL` compares two strings and says how they
# differ. `use_wine_prefix` readies Wine for the Windows programs.
passed=0
failed=0
check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
    return 1
  fi
}
same() { [[ "$2" == "$3" ]] || { echo "  $1: expected '$2', got '$3'"; return 1; }; }

# use_wine_prefix PREFIX LOADER: Windows programs run in the Wine prefix
# PREFIX, quietly, with no crash dialog and no debugger (a crash is an exit
# status like any other). The prefix is made once, through LOADER (the
# wineboot wrapper would take the 32-bit loader whenever it is installed,
# even where the kernel cannot run it). Its wineserver stays up for the
# whole run: the default one exits a few seconds after its last client, and
# a program started in that moment loses its connection ("wine client
# error:0: recvmsg: Connection reset by peer") and exits 1 without having
# run. The caller stops it (wineserver -k). Uses the script's `step`.
use_wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="winedbg.exe=d;mscoree=d;mshtml=d"
  if [[ ! -f $WINEPREFIX/system.reg ]]; then
    step "wine: initialising the prefix $WINEPREFIX"
    "$2" wineboot.exe -i >/dev/null 2>&1 || { echo "wineboot failed in $WINEPREFIX" >&2; return 1; }
    # wineboot's server ends a few seconds after it: then one that stays.
    wineserver -w 2>/dev/null
  fi
  wineserver -p 2>/dev/null || true
}
