#!/bin/sh
# Runs vuz-cli with a standard output that cannot be written and checks that it ends at
# once with exit code 74 and one line on standard error.
#   CheckOutputFailure.sh PROGRAM CASE
#   full:  list --json into /dev/full
#   closed: list with standard output closed
#   watch-full: watch into /dev/full
#   watch-pipe: watch into a pipe whose reader ends after one line, SIGPIPE ignored
# Every run is bounded: a program that runs on is stopped (exit code 124) and fails.
set -u
program=$1
case_name=$2
limit=30
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

case $case_name in
full)
    timeout $limit "$program" --simulated list --json >/dev/full 2>"$work/err"
    code=$?
    ;;
closed)
    timeout $limit "$program" --simulated list >&- 2>"$work/err"
    code=$?
    ;;
watch-full)
    timeout $limit "$program" --simulated watch >/dev/full 2>"$work/err"
    code=$?
    ;;
watch-pipe)
    # Ignored here, ignored in the program: a write to the closed pipe fails with EPIPE.
    trap '' PIPE
    { timeout $limit "$program" --simulated watch 2>"$work/err"; echo $? >"$work/code"; } |
        head -n 1 >"$work/first"
    code=$(cat "$work/code")
    if [ ! -s "$work/first" ]; then
        echo "no first line reached the reader"
        code=fail
    fi
    ;;
*)
    echo "unknown case $case_name"
    exit 2
    ;;
esac

echo "exit code: $code"
echo "standard error:"
cat "$work/err"
if [ "$code" != 74 ]; then
    echo "expected exit code 74"
    exit 1
fi
if [ "$(cat "$work/err")" != "vuz-cli: cannot write to standard output." ]; then
    echo "expected the one line 'vuz-cli: cannot write to standard output.'"
    exit 1
fi
