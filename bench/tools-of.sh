# Sourced by the bench scripts: the programs of a host tree and of a
# Windows tree, as each tree's CMake wrote them into bench/bench-tools.sh.
#   source bench/tools-of.sh HOST_BUILD [WINDOWS_BUILD]
for tree in "$@"; do
  if [ ! -f "$tree/bench/bench-tools.sh" ]; then
    echo "bench: $tree/bench/bench-tools.sh is missing: configure and build that tree first" >&2
    exit 1
  fi
  source "$tree/bench/bench-tools.sh"
done
