#!/usr/bin/env bash
# Runs one phase of make test or make demo and prints how long it took:
#   tools/phase.sh NAME COMMAND [ARGS...]   ->   "phase NAME: 123 s"
# The command's exit code is passed on.
name=$1; shift
start=$(date +%s)
"$@"
rc=$?
echo "phase $name: $(( $(date +%s) - start )) s$([ $rc -eq 0 ] || echo ", failed with exit code $rc")"
exit $rc
