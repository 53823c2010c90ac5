#!/usr/bin/env bash
# Start-up's own cost under Wine: the testing exe's launch to its mapped
# popup, against a bare window's launch to mapped, in one run of the
# end-to-end rig (its own Xvfb, prefix and nginx); bench/startup_under_wine.py
# says how.
#
#   bench/startup-under-wine.sh HOST_BUILD WINDOWS_BUILD   (QMX_BENCH_REPS, default 5;
#                                                           QMX_BENCH_PORTS, default 18460-18479)
# The programs are where each tree's bench-tools.sh says.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/tools-of.sh" "$1" "$2"
export QMX_BENCH_MAPPED=$qmx_bench_mapped QMX_BENCH_BARE=$qmx_bench_bare
exec python3 "$here/../tests/e2e/run_scenario.py" --build-dir "$2" \
  --ports "${QMX_BENCH_PORTS:-18460-18479}" "$here/startup_under_wine.py"
