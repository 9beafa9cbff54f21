# shellcheck shell=bash
# Steps that keep their tools' output in a log file and say in one line what they do, the
# check scripts' steps, and the stages of ./test with the summary that ends it. Sourced by
# ./run, ./test and the scripts in tools/.

# korva_quietly LOG COMMAND...: runs COMMAND with its output appended to LOG; when it fails,
# shows the end of LOG and where the rest is, and returns its status.
korva_quietly() {
  local log=$1 status=0
  shift
  mkdir -p "$(dirname "$log")"
  "$@" >>"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    tail -n 60 "$log" >&2
    echo "Failed: $* (exit status $status; the end of its output is above, all of it in $log)" >&2
  fi
  return "$status"
}

# korva_ctest LOG CTEST-ARGUMENT...: runs ctest with its output in LOG and counts the tests of
# the stage (korva_count). Shows the output of each failed test, and ctest's list of them.
korva_ctest() {
  local log=$1 status=0
  shift
  ctest --output-on-failure "$@" >"$log" 2>&1 || status=$?
  local summary
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [[ $summary =~ ([0-9]+)\ tests?\ failed\ out\ of\ ([0-9]+) ]]; then
    korva_count $((BASH_REMATCH[2] - BASH_REMATCH[1])) "${BASH_REMATCH[1]}"
  fi
  if [ "$status" -ne 0 ]; then
    # Everything but the lines of the tests that passed: the failures' output and the list.
    grep -Ev '^ *Start +[0-9]+: |^ *[0-9]+/[0-9]+ Test +#[0-9]+: .* Passed ' "$log" >&2 || true
    echo "(ctest's whole output: $log)" >&2
  fi
  return "$status"
}

# korva_count PASSED FAILED: what the running stage has counted. A stage that counts nothing is
# one check, passed or failed by its exit status.
korva_count() {
  [ -n "${KORVA_STAGE_COUNTS:-}" ] && echo "$1 $2" >>"$KORVA_STAGE_COUNTS"
  return 0
}

# The check scripts' steps (KORVA_CHECK names the script): korva_check_step TEXT begins one,
# the one before it having passed; korva_check_fail MESSAGE ends the script at the current one;
# korva_check_done counts the last one as passed.
korva_check_steps_passed=0
korva_check_running=0
korva_check_step() {
  korva_check_steps_passed=$((korva_check_steps_passed + korva_check_running))
  korva_check_running=1
  echo "   $*"
}
korva_check_fail() {
  echo "$KORVA_CHECK: $*" >&2
  # A step that fails because tests failed (counted already) is not one failure more.
  local failed=1
  [ -n "${KORVA_STAGE_COUNTS:-}" ] && awk '$2 > 0 { found = 1 } END { exit !found }' \
    "$KORVA_STAGE_COUNTS" && failed=0
  korva_count "$korva_check_steps_passed" "$failed"
  exit 1
}
korva_check_done() {
  korva_count $((korva_check_steps_passed + korva_check_running)) 0
  echo "   $*"
}

korva_stage_rows=()
korva_passed_total=0
korva_failed_total=0

# korva_stage NAME COMMAND...: runs one stage of ./test, timed, and notes its outcome for the
# summary. Returns the stage's status.
korva_stage() {
  local name=$1 status=0 started=$SECONDS
  shift
  echo "== $name"
  export KORVA_STAGE_COUNTS
  KORVA_STAGE_COUNTS=$(mktemp)
  "$@" || status=$?
  local passed=0 failed=0 counted=0 line
  while read -r -a line; do
    passed=$((passed + line[0]))
    failed=$((failed + line[1]))
    counted=1
  done <"$KORVA_STAGE_COUNTS"
  rm -f "$KORVA_STAGE_COUNTS"
  unset KORVA_STAGE_COUNTS
  if [ "$counted" -eq 0 ]; then
    if [ "$status" -eq 0 ]; then passed=1; else failed=1; fi
  elif [ "$status" -ne 0 ] && [ "$failed" -eq 0 ]; then
    failed=1  # it failed beside what it counted (a build, a check)
  fi
  korva_passed_total=$((korva_passed_total + passed))
  korva_failed_total=$((korva_failed_total + failed))
  local seconds=$((SECONDS - started)) verdict=ok
  [ "$status" -eq 0 ] || verdict=FAILED
  local time row
  printf -v time '%dm%02ds' $((seconds / 60)) $((seconds % 60))
  printf -v row '  %-6s %-46s %5d passed %4d failed %7s' "$verdict" "$name" "$passed" "$failed" "$time"
  korva_stage_rows+=("$row")
  echo "   $verdict: $passed passed, $failed failed, $time"
  return "$status"
}

# korva_summary: the table of the stages and the line over all of them; fails when one failed.
korva_summary() {
  echo
  echo "Summary of ./test"
  printf '%s\n' "${korva_stage_rows[@]}"
  echo "$korva_passed_total passed, $korva_failed_total failed"
  [ "$korva_failed_total" -eq 0 ]
}
