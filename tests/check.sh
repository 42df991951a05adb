# Sourced by the shell tests: one pass or failure per check, and the
# closing line.
#   check WHAT COMMAND...   runs COMMAND: a pass when it succeeds, else
#                           "FAILED: WHAT"
#   summary                 prints "N passed, N failed"; fails on a failure
passed=0 failed=0
check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
  fi
}
summary() {
  echo "$passed passed, $failed failed${1:+; $1}"
  [ "$failed" -eq 0 ]
}
