#!/bin/bash
# Installs what is missing, builds the command-line host with the module,
# starts the private server and runs the host against it (with --bench: the
# benchmarks, on a Release build of their own); the server is stopped on
# the way out. The arguments are checked before anything else. What the
# set-up says goes to standard error: standard output carries the host's or
# the benchmarks' own.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
cd "$ZT_ROOT"

usage() {
  cat <<'EOF'
usage: bash scripts/run.sh [--message <id>] [<module path>]
       bash scripts/run.sh --sql <query> [--sql <query> ...] [--browse <table> [--key <item>] [--backward]] [<module path>]
       bash scripts/run.sh --browse <table> [--key <item>] [--backward] [<module path>]
       bash scripts/run.sh --bench [--benchmark_<option>=<value> ...]
       bash scripts/run.sh --help
Installs what is missing, builds the command-line host (zthost) with the module, starts a private
server, runs zthost with the options given and stops the server:
  --message <id>   also print that message of the module
  --sql <query>    run one statement, quoted, and print its rows (may be repeated)
  --browse <table> read a table through the table object on its best browse key, or on
                   --key <item>, from its end with --backward
  <module path>    load that module (a path with a '/') instead of the one built
--bench builds the benchmarks in Release (build/release) and runs them against a private server,
with Google Benchmark's options, which the library reads first, before the benchmarks are built.
EOF
}

# mistake TEXT: names a mistake in the arguments (as zthost does) and ends.
mistake() {
  echo "run.sh: $1" >&2
  echo "bash scripts/run.sh --help lists the options" >&2
  exit 2
}

# The value after an option is missing when there is none, when it is empty
# or when it is an option itself (a word after "--", without blanks).
value_missing() {
  [ $# -eq 0 ] || [ -z "$1" ] || [[ "$1" == --* && "$1" != *[[:space:]]* ]]
}

# The command line of zthost, checked as zthost checks it.
check_host_arguments() {
  local arg given="" module=0 sql=0 browse=0 keyed=0
  while [ $# -gt 0 ]; do
    arg="$1"; shift
    case "$arg" in
      --sql)
        value_missing "$@" && mistake "--sql needs a query"
        sql=1
        shift
        if [ $# -gt 0 ] && [[ "$1" != -* && "$1" != */* ]]; then
          mistake "unexpected argument '$1': quote the query"
        fi ;;
      --browse|--key|--message)
        [[ " $given " == *" $arg "* ]] && mistake "$arg given twice"
        given="$given $arg"
        if value_missing "$@"; then
          case "$arg" in
            --browse) mistake "--browse needs a table" ;;
            --key) mistake "--key needs an item" ;;
            *) mistake "--message needs a number" ;;
          esac
        fi
        if [ "$arg" = --message ] && ! { [[ "$1" =~ ^[0-9]{1,10}$ ]] && (( 10#$1 <= 4294967295 )); }; then
          mistake "bad message number '$1'"
        fi
        [ "$arg" = --browse ] && browse=1
        [ "$arg" = --key ] && keyed=1
        shift ;;
      --backward) keyed=1 ;;
      --bench) mistake "--bench goes first, followed only by benchmark options" ;;
      -*) mistake "unknown option $arg" ;;
      */*)
        [ "$module" = 1 ] && mistake "unexpected argument '$arg'"
        # Before anything is built: an unquoted query holding a '/' comes
        # here too.
        [ -f "$arg" ] || mistake "no module file '$arg': an argument holding a '/' names the module"
        module=1 ;;
      *) mistake "unexpected argument '$arg'" ;;
    esac
  done
  if [ "$browse" = 0 ] && [ "$keyed" = 1 ]; then
    mistake "--key and --backward go with --browse"
  fi
  if [[ " $given " == *" --message "* ]] && [ "$browse$sql" != 00 ]; then
    mistake "--message goes without --sql and --browse"
  fi
}

# bench_refusal OPTION...: what the benchmark library says of the options
# where it refuses them, read as its own main reads them in a program of no
# benchmark (exit 0 where it takes them, printing nothing). It answers a
# value it refuses with its usage, or with an error and exit code 1; like
# the benchmarks, it runs from the clone's top and opens a --benchmark_out
# file.
bench_refusal() {
  local said status
  said="$("$ZT_ROOT/build/release/zt_bench_flags" "$@" 2>&1 >"$ZT_ROOT/build/release/bench-flags.out")"
  status=$?
  if [ "$(head -c 11 "$ZT_ROOT/build/release/bench-flags.out")" = "benchmark [" ]; then
    echo "it answers with its usage"
  elif [ "$status" != 0 ]; then
    said="$(printf '%s\n' "$said" | head -n 1)"
    echo "${said#*: error: }"
  else
    return 1
  fi
}

# The benchmarks' options, before the benchmarks are built: those the
# library refuses are named, the first refused alone, or else all of them.
check_bench_arguments() {
  local arg said
  said="$(bench_refusal "$@")" || return 0
  for arg in "$@"; do
    if said="$(bench_refusal "$arg")"; then
      mistake "the benchmark library refuses $arg: $said"
    fi
  done
  mistake "the benchmark library refuses these options together: $said"
}

for arg in "$@"; do
  if [ "$arg" = --help ] || [ "$arg" = -h ]; then
    usage
    exit 0
  fi
done
if [ "${1:-}" = "--bench" ]; then
  shift
  zt_setup >&2 || zt_fail "installing the packages"
  # Benchmarks are measured on a Release build of their own, where the
  # library's reading of the options is built first.
  release=(-DCMAKE_BUILD_TYPE=Release -DZT_BENCH=ON -DZT_TESTS=OFF)
  zt_build "$ZT_ROOT/build/release" zt_bench_flags "${release[@]}" >&2 \
    || zt_fail "building the benchmark library's reading of the options in $ZT_ROOT/build/release"
  check_bench_arguments "$@"
  zt_build "$ZT_ROOT/build/release" ztbench "${release[@]}" >&2 \
    || zt_fail "building the benchmarks in $ZT_ROOT/build/release"
  trap 'zt_server_stop >&2' EXIT
  trap 'exit 130' INT TERM
  zt_server_start >&2 || exit 1
  "$ZT_ROOT/build/release/ztbench" "$@"
  exit $?
fi
check_host_arguments "$@"
zt_setup >&2 || zt_fail "installing the packages"
zt_build "$ZT_ROOT/build" zthost >&2 || zt_fail "building zthost in $ZT_ROOT/build"
trap 'zt_server_stop >&2' EXIT
trap 'exit 130' INT TERM
zt_server_start >&2 || exit 1
"$ZT_ROOT/build/zthost" "$@"
