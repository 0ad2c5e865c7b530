#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# into build-fuzz/ and runs each for a fixed time. Fails when any target finds a
# crash, a leak, a hang or an allocation beyond the limit; the input is kept in
# build-fuzz/fuzz-crashes/.
#
#   scripts/fuzz.sh                  every target, 20 s each (the CI tier)
#   scripts/fuzz.sh --seconds 600    a longer campaign
#   scripts/fuzz.sh --runs 1000000   a fixed number of executions per target
#   scripts/fuzz.sh --runs 1000000 --seconds 600   whichever comes first
#   scripts/fuzz.sh restart undo     only these targets
#
# The working corpus (build-fuzz/fuzz-corpus/) is kept between runs, so every
# run goes on from what the last one found. One line of figures per target is
# printed and appended to build-fuzz/fuzz-figures.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=20
runs=-1
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --runs) runs="$2"; seconds=0; shift 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
all=(control_text control_spam baseline_talmo baseline_spam mixture_spam mixture_genepop
     genepop_label simulation_control run_control sample_sta sample_ise sample_graph restart undo)
[ ${#targets[@]} -gt 0 ] || targets=("${all[@]}")

dir=build-fuzz
cmake -S . -B "$dir" -DCMAKE_CXX_COMPILER=clang++-16 -DMIXORA_FUZZ=ON -DMIXORA_TESTS=OFF -DMIXORA_GUI=OFF \
  -DMIXORA_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j"$(nproc)" --target mixora_fuzz_all >/dev/null

# Seeds: the text files of the examples and the test data by kind, and the
# binary files of a short chain of the targets' own fixture run.
seeds="$dir/fuzz-seeds"
mkdir -p "$seeds"
"$dir/fuzz/mixora_fuzz_seeds" "$seeds"
copy() {  # target, then files
  local target="$1"; shift
  mkdir -p "$seeds/$target"
  for f in "$@"; do [ -f "$f" ] && cp "$f" "$seeds/$target/$(echo "$f" | tr / _)"; done
  return 0
}
copy control_text examples/*/*.tcf tests/data/*/*.tcf
copy control_spam examples/*/*.ctl tests/data/*/*.ctl
copy baseline_talmo examples/*/*.tal tests/data/baseline/talmo_*.bse
copy baseline_spam examples/*/*.bse tests/data/*/*.bse
copy mixture_spam examples/*/*.mix tests/data/mixture/spam*.mix tests/data/control/*.mix
copy mixture_genepop examples/*/*.gen tests/data/mixture/genepop*.mix tests/data/rcf/*.gen
copy simulation_control examples/*/*.mcf
mkdir -p "$seeds/genepop_label"
for f in tests/data/genepop/*.gen examples/*/*.gen; do
  { printf '\000'; cat "$f"; } > "$seeds/genepop_label/base_$(echo "$f" | tr / _)"
  { printf '\001'; cat "$f"; } > "$seeds/genepop_label/mix_$(echo "$f" | tr / _)"
done

dict_of() {
  case "$1" in
    control_text) echo control_text ;;
    control_spam) echo control_spam ;;
    baseline_*) echo baseline ;;
    mixture_*) echo mixture ;;
    genepop_label) echo genepop_label ;;
    simulation_control) echo simulation_control ;;
    *) echo binary ;;
  esac
}

mkdir -p "$dir/fuzz-crashes"
failed=0
for t in "${targets[@]}"; do
  corpus="$dir/fuzz-corpus/$t"
  mkdir -p "$corpus" "$seeds/$t"
  log="$dir/fuzz-$t.log"
  start=$(date +%s)
  set +e
  "$dir/fuzz/fuzz_$t" "$corpus" "$seeds/$t" -dict="fuzz/dict/$(dict_of "$t").dict" \
    -max_total_time="$seconds" -runs="$runs" -timeout=10 -rss_limit_mb=2048 \
    -malloc_limit_mb=512 -print_final_stats=1 -artifact_prefix="$dir/fuzz-crashes/$t-" \
    >"$log" 2>&1
  rc=$?
  set -e
  took=$(( $(date +%s) - start ))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  last=$(grep -E '^#[0-9]+.*cov: ' "$log" | tail -1 || true)
  cov=$(echo "$last" | sed -n 's/.*cov: \([0-9]*\).*/\1/p')
  ft=$(echo "$last" | sed -n 's/.*ft: \([0-9]*\).*/\1/p')
  line=$(printf '%-20s execs %10s  cov %5s  ft %6s  %5ss' "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$took")
  if [ $rc -ne 0 ]; then
    line="$line  FAILED (see $log)"
    failed=1
    grep -E '^(==|SUMMARY|    #[0-9] )' "$log" | head -20 >&2 || true
  fi
  echo "$line"
  echo "$(date -u +%FT%TZ) $line" >> "$dir/fuzz-figures.txt"
done
exit $failed
