#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang into build-fuzz/ (or BUILD_DIR) and runs
# one of them, or all five side by side, for the given number of seconds.
#
#   bash tools/fuzz.sh [--build-only] [--keep-going[=JOBS]] TARGET|all [SECONDS] [-- LIBFUZZER OPTIONS]
#
# TARGET is spice, spice_run (the circuit built and run), circuit_file, library or expression;
# SECONDS defaults to 60. A run stops at its first finding unless --keep-going is given: then
# libFuzzer forks JOBS workers (default 1) and goes on past crashes, timeouts and memory
# exhaustion, so that one run collects them all.
# Findings land in BUILD_DIR/findings/TARGET/, the grown corpus in BUILD_DIR/corpus/TARGET/,
# the log in BUILD_DIR/logs/TARGET.log. Seeds come from the test data of the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD_DIR=${BUILD_DIR:-build-fuzz}
TARGETS=(spice spice_run circuit_file library expression)

build_only=0
fork=0
args=()
extra=()
while (($#)); do
  a=$1
  shift
  case "$a" in
    --) extra=("$@"); break ;;
    --build-only) build_only=1 ;;
    --keep-going) fork=1 ;;
    --keep-going=*) fork=${a#--keep-going=} ;;
    -*) echo "unknown option $a" >&2; exit 2 ;;
    *) args+=("$a") ;;
  esac
done
which=${args[0]:-all}
seconds=${args[1]:-60}
if [ "$which" = all ]; then chosen=("${TARGETS[@]}"); else chosen=("$which"); fi
for t in "${chosen[@]}"; do
  case " ${TARGETS[*]} " in *" $t "*) ;; *) echo "unknown target $t (${TARGETS[*]} or all)" >&2; exit 2 ;; esac
done

bash tools/setup.sh --clang
CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKQ5_FUZZ=ON -DKQ5_TESTS=OFF > /dev/null
cmake --build "$BUILD_DIR" -j "${FUZZ_BUILD_JOBS:-$(nproc)}" --target "${chosen[@]/%/_fuzz}"
((build_only)) && exit 0

BUILD=$ROOT/$BUILD_DIR
# The seeds of each target, gathered from the test data.
seeds() {
  local dir=$BUILD/seeds/$1
  rm -rf "$dir" && mkdir -p "$dir"
  case "$1" in
    spice) cp "$ROOT"/tests/circuits/spice/* "$ROOT"/tests/reference/circuits/* "$dir"/ ;;
    spice_run) cp "$ROOT"/tests/circuits/spice/* "$ROOT"/tests/reference/circuits/* "$dir"/
               [ -d "$ROOT"/tests/fuzz/seeds/spice_run ] && cp "$ROOT"/tests/fuzz/seeds/spice_run/* "$dir"/ ;;
    circuit_file) cp "$ROOT"/tests/circuits/*.cir "$ROOT"/tests/fuzz/seeds/circuit_file/* "$dir"/ ;;
    library) cp "$ROOT"/tests/fuzz/seeds/library/* "$dir"/ ;;
    expression) cp "$ROOT"/tests/fuzz/seeds/expression/* "$dir"/ ;;
  esac
  echo "$dir"
}

# Dictionaries: SPICE words, and every name of the expression language's symbol table.
dictionary() {
  case "$1" in
    spice|spice_run) echo "-dict=$ROOT/tests/fuzz/spice.dict" ;;
    expression)
      grep -v '^#' "$ROOT/data/expression_symbols.tsv" | cut -f1 | grep -v '^$' |
        sed -e 's/\\/\\\\/g' -e 's/"/\\"/g' -e 's/.*/"&"/' > "$BUILD/expression.dict"
      echo "-dict=$BUILD/expression.dict" ;;
  esac
}

max_len() {
  case "$1" in
    spice|spice_run) echo 4096 ;;
    circuit_file) echo 16384 ;;
    library) echo 4096 ;;
    expression) echo 512 ;;
  esac
}

# Seconds an input may take before libFuzzer calls it a hang: a run target's input runs an
# analysis (bounded at two seconds of processor time) on a machine that may be busy.
time_limit() {
  case "$1" in
    spice_run) echo 30 ;;
    *) echo 10 ;;
  esac
}

run() {
  local t=$1
  local corpus=$BUILD/corpus/$t findings=$BUILD/findings/$t log=$BUILD/logs/$t.log
  mkdir -p "$corpus" "$findings" "$BUILD/logs"
  local opts=(-max_total_time="$seconds" -rss_limit_mb=2048 -timeout="$(time_limit "$t")" -max_len="$(max_len "$t")"
              -artifact_prefix="$findings/" -print_final_stats=1)
  local dict
  dict=$(dictionary "$t")
  [ -n "$dict" ] && opts+=("$dict")
  opts+=("${extra[@]}")
  if ((fork)); then
    opts+=(-fork="$fork" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1)
  fi
  local scratch=/dev/shm/kq5-fuzz-$t-$$
  [ -d /dev/shm ] || scratch=$BUILD/scratch/$t
  KQ5_FUZZ_SCRATCH=$scratch ASAN_OPTIONS=abort_on_error=1:symbolize=1 UBSAN_OPTIONS=print_stacktrace=1 \
    "$BUILD/${t}_fuzz" "${opts[@]}" "$corpus" "$(seeds "$t")" > "$log" 2>&1 || true
  rm -rf "$scratch"
  local execs
  execs=$(grep -Eo 'stat::number_of_executed_units: [0-9]+' "$log" | tail -1 | grep -Eo '[0-9]+$' || true)
  [ -z "$execs" ] && execs=$(grep -Eo '^#[0-9]+' "$log" | tail -1 | tr -d '#' || true)
  local found
  found=$(find "$findings" -type f | wc -l)
  echo "$t: ${execs:-?} executions in ${seconds}s, $found finding(s) in $findings, log $log"
}

for t in "${chosen[@]}"; do run "$t" & done
wait
