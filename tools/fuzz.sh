#!/bin/sh
# Builds the libFuzzer targets (clang, AddressSanitizer and UndefinedBehaviorSanitizer)
# into build-fuzz when needed and runs one of them, or all, for a given time.
#
#   tools/fuzz.sh TARGET SECONDS     e.g. tools/fuzz.sh ntx 1800
#   tools/fuzz.sh all SECONDS        every target, two at a time, SECONDS each
#   tools/fuzz.sh list
#
# Targets are the files tests/fuzz/NAME_fuzz.cc. Each run starts from the committed
# seeds (tests/fuzz/seeds/NAME) and keeps what it finds in build-fuzz/corpus/NAME, so the
# next run goes on from there. Output goes to build-fuzz/logs/NAME.log; a crash leaves
# its input as build-fuzz/logs/NAME-crash-*. Fuzzers run under nice -n 10; what the
# targets print on standard output (index warnings) is dropped.
# Environment: PX_FUZZ_BUILD (build folder), PX_FUZZ_ARGS (more libFuzzer flags).
set -eu
cd "$(dirname "$0")/.."
ROOT="$(pwd)"
BUILD="${PX_FUZZ_BUILD:-$ROOT/build-fuzz}"

targets() {
  for f in "$ROOT"/tests/fuzz/*_fuzz.cc; do basename "$f" _fuzz.cc; done
}

usage() {
  echo "usage: tools/fuzz.sh TARGET|all SECONDS   (targets: $(targets | tr '\n' ' '))" >&2
  exit 1
}

build() {
  if [ ! -f "$BUILD/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD" -G Ninja \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPX_FUZZ=ON -DPX_BENCH=OFF -DPX_WITH_WX=OFF >/dev/null
  fi
  set --
  for t in $(targets); do set -- "$@" "${t}_fuzzer"; done
  cmake --build "$BUILD" -j2 --target "$@"
}

# run NAME SECONDS: one fuzzing session; prints libFuzzer's final stats.
run() {
  name=$1
  seconds=$2
  mkdir -p "$BUILD/corpus/$name" "$BUILD/logs"
  log="$BUILD/logs/$name.log"
  status=0
  # shellcheck disable=SC2086
  nice -n 10 "$BUILD/tests/fuzz/${name}_fuzzer" -max_total_time="$seconds" \
    -print_final_stats=1 -timeout=20 -rss_limit_mb=1536 -close_fd_mask=1 \
    -artifact_prefix="$BUILD/logs/$name-" ${PX_FUZZ_ARGS:-} \
    "$BUILD/corpus/$name" "$ROOT/tests/fuzz/seeds/$name" >"$log" 2>&1 || status=$?
  echo "== $name (exit $status): $(grep -E '^stat::number_of_executed_units' "$log" | tail -n 1)"
  grep -E '^(==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written)' "$log" || true
  return $status
}

[ $# -ge 1 ] || usage
case "$1" in
  list)
    targets
    exit 0
    ;;
esac
[ $# -eq 2 ] || usage
SECONDS_EACH=$2
build
if [ "$1" = all ]; then
  failed=0
  set -- $(targets)
  while [ $# -gt 0 ]; do
    if [ $# -ge 2 ]; then
      run "$1" "$SECONDS_EACH" & first=$!
      run "$2" "$SECONDS_EACH" || failed=1
      wait $first || failed=1
      shift 2
    else
      run "$1" "$SECONDS_EACH" || failed=1
      shift
    fi
  done
  exit $failed
fi
targets | grep -qx "$1" || usage
run "$1" "$SECONDS_EACH"
