#!/usr/bin/env bash
# Every figure of make bench in one run, on one machine: the transfer, the
# MD5 and the cut transfer against the tools (host), then under Wine the
# download check after the last byte and start-up's own cost. The machine
# and its load are printed first and last: the figures are only worth
# comparing within one run.
#
#   bench/run-bench.sh HOST_BUILD WINDOWS_BUILD   (QMX_BENCH_PORTS, default 18450-18479:
#                                                  the loopback ports the benches serve on)
# The programs are where each tree's bench/bench-tools.sh says.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/tools-of.sh" "$1" "$2"
machine() {
  echo "machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)," \
    "$(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo), $(wine --version 2>/dev/null || echo 'no wine');" \
    "load average $(cut -d' ' -f1-3 /proc/loadavg)"
}
ports=${QMX_BENCH_PORTS:-18450-18479}
first=${ports%-*} last=${ports#*-}
machine
"$qmx_bench" --port "$first"
QMX_BENCH_PORT=$((first + 1)) "$here/verdict-under-wine.sh" "$1" "$2"
QMX_BENCH_PORTS=$((first + 2))-$last "$here/startup-under-wine.sh" "$1" "$2"
machine
