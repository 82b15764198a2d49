#!/usr/bin/env bash
# fuzz.sh [SECONDS] [TARGET...]
#
# Builds the libFuzzer targets with clang into build-fuzz/ (or FUZZ_BUILD_DIR),
# writes the seed inputs (fuzz/make-seeds.py), runs each target for SECONDS
# (default 600) one after the other over the committed corpus and the seeds,
# then minimises everything it kept into fuzz/corpus/TARGET with -merge=1.
# TARGET is "request" (the request path) or "scene" (scene loading); both by
# default. A crash leaves its input in the work folder it names and stops here.
# The test suite replays fuzz/corpus, so commit it after a run.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build_dir="${FUZZ_BUILD_DIR:-$top/build-fuzz}"
seconds="${1:-600}"
shift || true
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(request scene)

# Room for nesting past the request limit and lines across many reads; the test
# suite tries inputs of megabytes.
max_len=8192
# A single input may take this long before it counts as a hang.
input_timeout_s=30

"$top/scripts/bootstrap.sh"
cmake -S "$top" -B "$build_dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DMORVEL_FUZZ=ON -DMORVEL_WERROR=ON \
  -DMORVEL_BUILD_TESTS=OFF -DMORVEL_BUILD_BENCH=OFF
cmake --build "$build_dir" --target request_path_fuzzer scene_load_fuzzer

work_dir="$(mktemp -d /tmp/morvel-fuzz.XXXXXX)"
python3 "$top/fuzz/make-seeds.py" "$work_dir/seeds"
echo "fuzz: working in $work_dir" >&2

fuzzer_of() {
  case "$1" in
    request) echo "$build_dir/fuzz/request_path_fuzzer" ;;
    scene) echo "$build_dir/fuzz/scene_load_fuzzer" ;;
    *) echo "fuzz: unknown target $1 (request or scene)" >&2; exit 2 ;;
  esac
}

for target in "${targets[@]}"; do
  fuzzer="$(fuzzer_of "$target")"
  corpus="$top/fuzz/corpus/$target"
  found="$work_dir/found-$target"
  mkdir -p "$corpus" "$found"
  common=(-max_len="$max_len" -dict="$top/fuzz/$target.dict" -artifact_prefix="$work_dir/$target-")
  log="$work_dir/$target.log"
  # New inputs go to the first folder.
  if ! "$fuzzer" "${common[@]}" -max_total_time="$seconds" -timeout="$input_timeout_s" -print_final_stats=1 \
    "$found" "$corpus" "$work_dir/seeds/$target" >"$log" 2>&1; then
    tail -n 60 "$log" >&2
    echo "fuzz: $target failed; the log is $log" >&2
    exit 1
  fi
  grep -E '^#[0-9]+ +(INITED|DONE)|^stat::' "$log" >&2 || true

  merged="$work_dir/merged-$target"
  mkdir -p "$merged"
  # Edges only, not hit counts: a few hundred inputs instead of thousands, the same code reached.
  "$fuzzer" "${common[@]}" -merge=1 -use_counters=0 "$merged" "$corpus" "$found" "$work_dir/seeds/$target" \
    >"$work_dir/$target-merge.log" 2>&1
  rm -rf "$corpus"
  mv "$merged" "$corpus"
  echo "fuzz: $target corpus: $(ls "$corpus" | wc -l) files, $(du -sh "$corpus" | cut -f1)" >&2
done
