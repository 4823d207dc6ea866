# The bookkeeping of the shell tests, sourced by them: `check DESCRIPTION COMMAND...`
# runs the command, counts it, and shows its output when it fails; `finish` prints the
# totals and gives the status. Needs $scratch, a scratch folder of the test's own.
passed=0 failed=0
check() {
  local what=$1; shift
  if "$@" >"$scratch/out" 2>&1; then passed=$((passed + 1))
  else failed=$((failed + 1)); echo "FAILED: $what"; sed 's/^/    /' "$scratch/out"; fi
}
finish() {
  echo "$passed passed, $failed failed"
  [[ $failed -eq 0 ]]
}
