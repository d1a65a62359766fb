# Counted checks for the stage scripts (sourced, not run): `check WHAT
# COMMAND...` runs COMMAND and counts it in `passed` or `failed`, naming a
# failure; it returns the command's success, so `check ... || show-why`
# works. `same WHAT EXPECTED ACTUAL` compares two strings and says how they
# differ.
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
