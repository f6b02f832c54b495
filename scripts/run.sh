#!/bin/bash
# Installs what is missing, builds, starts the private server and runs the
# command-line host against it (with --bench: the benchmarks, on a Release
# build); the server is stopped on the way out. What the set-up says goes to
# standard error: standard output carries the host's or the benchmarks' own.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ZT_ROOT"

zt_setup >&2 || exit 1
if [ "${1:-}" = "--bench" ]; then
  # Benchmarks are measured on a Release build of their own.
  zt_build "$ZT_ROOT/build/release" -DCMAKE_BUILD_TYPE=Release -DZT_BENCH=ON >&2 || exit 1
  trap 'zt_server_stop >&2' EXIT
  zt_server_start >&2 || exit 1
  shift
  "$ZT_ROOT/build/release/ztbench" "$@"
  exit $?
fi
zt_build "$ZT_ROOT/build" >&2 || exit 1
trap 'zt_server_stop >&2' EXIT
zt_server_start >&2 || exit 1
"$ZT_ROOT/build/zthost" "$@"
