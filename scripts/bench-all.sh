#!/usr/bin/env bash
# Runs every benchmark and prints one table: measure, figure, reference, ratio, target.
#
# usage: scripts/bench-all.sh [--quick] [--rounds N] [--only LIST]
#   --quick     fewer runs and songs (a first look; about a quarter of the full time)
#   --rounds N  runs every benchmark script N times; each row shows the median over the
#               rounds (default 3, with --quick 1)
#   --only LIST comma-separated subset of: network,features,engine,sonalyx,bextract,inference
#
# Every figure is measured beside its reference in the same run of the same script (the
# save beside one write+fsync of the same bytes, the load beside xmlwf on the same file,
# the feature store read beside one read() of the file, Tolvane and GetFeatures beside the
# libavcodec decode floor, the pipeline beside aubio); the ratio is computed per round and
# its median shown. Figures without a reference are absolute targets. Run it on a machine
# as quiet as you can get: the load average at the start and end is printed with the table.
#
# The benchmark scripts' own output goes to build/bench-all/<script>.<round>.log. Lines
# read from them (exactly these; keep them when changing a script):
#   bench-network.sh   "saveNet seconds S (cpu C)", "plain write+fsync seconds S",
#                      "loadNet seconds S (cpu C)", "xmlwf seconds S"
#   bench-features.sh  Google Benchmark console lines "BM_ReadStoreWithValues..._median T ms"
#                      and "BM_ReadBytesOnce..._median T ms" (ratio computed here)
#   bench-engine.sh    its JSON file (--benchmark_out): BM_CreatePalette, BM_PlayLoop,
#                      BM_PickNextNodeAfterPlay, BM_HotlistFullRebuild, BM_Play,
#                      BM_Memory counters
#   bench-sonalyx.sh   "per song, mean ms: a A  b B  c C  d D  e E  peer P"
#   bench-bextract.sh  Google Benchmark console line "BM_BextractRaw_median T ms C ms"
#   bench-inference.sh "quality engine top5 jaccard: J", "quality reference euclidean
#                      z-scored top5 jaccard: J", "median similarity pairwise path us/pair: T
#                      (libsvm on the same vectors: T)", "median full 10000 ms per visited
#                      song: T"
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

quick=0
rounds=""
only="network,features,engine,sonalyx,bextract,inference"
usage() { sed -n '4,9p' "$0" | sed 's/^# \{0,1\}//'; exit 2; }
while [ $# -gt 0 ]; do
  case $1 in
    --quick) quick=1 ;;
    --rounds)
      [ $# -ge 2 ] || usage
      rounds=$2
      shift ;;
    --only)
      [ $# -ge 2 ] || usage
      only=$2
      shift ;;
    -h|--help) usage ;;
    *) echo "bench-all: unknown argument $1" >&2; usage ;;
  esac
  shift
done
if [ -z "$rounds" ]; then rounds=$((quick ? 1 : 3)); fi
case $rounds in ''|*[!0-9]*|0) echo "bench-all: --rounds needs a positive number" >&2; exit 2 ;; esac
for part in ${only//,/ }; do
  case $part in network|features|engine|sonalyx|bextract|inference) ;;
    *) echo "bench-all: unknown benchmark '$part'" >&2; exit 2 ;; esac
done
wanted() { [[ ",$only," == *",$1,"* ]]; }

if [ "$quick" = 1 ]; then
  net_runs=3; feature_reps=5; engine_cycles=500; songs=24; bextract_reps=3; inference_runs=1
else
  net_runs=9; feature_reps=9; engine_cycles=2000; songs=200; bextract_reps=9; inference_runs=3
fi

logs=$root/build/bench-all
mkdir -p "$logs"
rows=$logs/rows.txt  # measure|figure|reference|ratio|target|unit, one line per round
: >"$rows"
load_start=$(cut -d' ' -f1-3 /proc/loadavg)

# row MEASURE FIGURE REFERENCE TARGET UNIT: the ratio is figure / reference ("-" without).
row() {
  local ratio="-"
  if [ "$3" != "-" ]; then ratio=$(awk -v f="$2" -v r="$3" 'BEGIN { printf "%.3f", (r > 0 ? f / r : 0) }'); fi
  echo "$1|$2|$3|$ratio|$4|$5" >>"$rows"
}
# The first number after a line starting with PREFIX in FILE (after its prefix).
field() { awk -v p="$2" 'index($0, p) == 1 { s = substr($0, length(p) + 1); split(s, w, " "); print w[1]; exit }' "$1"; }
# Google Benchmark console: the time of the first line whose name starts with NAME and
# ends in _median, in milliseconds (the wall time; the CPU time with a third argument).
gbench_ms() {
  awk -v n="$2" -v c="${3:-}" 'index($1, n) == 1 && $1 ~ /_median$/ {
      t = c ? $4 : $2; u = c ? $5 : $3
      if (u == "ns") t /= 1e6; else if (u == "us") t /= 1e3; else if (u == "s") t *= 1e3
      printf "%.3f", t; exit }' "$1"
}
missing() { echo "bench-all: $1: expected line not found in $2" >&2; }

run_network() {
  local log=$logs/network.$1.log
  scripts/bench-network.sh "$net_runs" >"$log" 2>&1 || { echo "bench-all: bench-network.sh failed (see $log)" >&2; return; }
  local save plain load xml
  save=$(field "$log" "saveNet seconds "); plain=$(field "$log" "plain write+fsync seconds ")
  load=$(field "$log" "loadNet seconds "); xml=$(field "$log" "xmlwf seconds ")
  if [ -n "$save" ] && [ -n "$plain" ]; then row "saveNet, 100k songs (s)" "$save" "$plain" "<= 2x write+fsync" s
  else missing saveNet "$log"; fi
  if [ -n "$load" ] && [ -n "$xml" ]; then row "loadNet, 100k songs (s)" "$load" "$xml" "<= 2x xmlwf" s
  else missing loadNet "$log"; fi
}

run_features() {
  local log=$logs/features.$1.log
  scripts/bench-features.sh --benchmark_repetitions="$feature_reps" >"$log" 2>&1 || { echo "bench-all: bench-features.sh failed (see $log)" >&2; return; }
  local values bytes
  values=$(gbench_ms "$log" BM_ReadStoreWithValues); bytes=$(gbench_ms "$log" BM_ReadBytesOnce)
  if [ -n "$values" ] && [ -n "$bytes" ]; then row "feature store read with values (ms)" "$values" "$bytes" "<= 3x one read()" ms
  else missing "feature store" "$log"; fi
}

run_engine() {
  local log=$logs/engine.$1.log json=$logs/engine.$1.json
  ZARVELL_BENCH_CYCLES=$engine_cycles scripts/bench-engine.sh --benchmark_out="$json" \
    --benchmark_out_format=json >"$log" 2>&1 || { echo "bench-all: bench-engine.sh failed (see $log)" >&2; return; }
  # counter BENCHMARK KEY: one value of the JSON file ("name" and "KEY": VALUE lines).
  counter() {
    awk -v b="$1" -v k="\"$2\":" '
      $1 == "\"name\":" { n = $2; gsub(/[",]/, "", n) }
      index(n, b) == 1 && $1 == k { v = $2; sub(/,$/, "", v); printf "%.6g\n", v; exit }' "$json"
  }
  local v
  v=$(counter BM_CreatePalette cpu_median_ms); [ -n "$v" ] && row "createPalette, 100k songs, CPU (ms)" "$v" - "<= 500 ms" ms
  v=$(counter BM_CreatePalette median_ms); [ -n "$v" ] && row "createPalette, 100k songs, wall (ms)" "$v" - "<= 500 ms" ms
  v=$(counter BM_PlayLoop pick_median_ms); [ -n "$v" ] && row "pickNextNode in the play loop, median (ms)" "$v" - "-" ms
  v=$(counter BM_PlayLoop pick_p99_ms); [ -n "$v" ] && row "pickNextNode in the play loop, p99 (ms)" "$v" - "<= 5 ms" ms
  v=$(counter BM_PlayLoop pick_max_ms); [ -n "$v" ] && row "pickNextNode in the play loop, max (ms)" "$v" - "<= 20 ms" ms
  v=$(counter BM_PlayLoop pick_cpu_max_ms); [ -n "$v" ] && row "pickNextNode in the play loop, max CPU (ms)" "$v" - "<= 20 ms" ms
  v=$(counter BM_PickNextNodeAfterPlay p99_ms); [ -n "$v" ] && row "pickNextNode after a random play, p99 (ms)" "$v" - "<= 5 ms" ms
  v=$(counter BM_PickNextNodeAfterPlay max_ms); [ -n "$v" ] && row "pickNextNode after a random play, max (ms)" "$v" - "<= 20 ms" ms
  v=$(counter BM_HotlistFullRebuild max_ms); [ -n "$v" ] && row "hotlist rebuilt over every node, max (ms)" "$v" - "-" ms
  v=$(counter BM_Play median_ms); [ -n "$v" ] && row "play (onPlay + boost), median (ms)" "$v" - "< 5 ms" ms
  v=$(counter BM_Memory resident_MB); [ -n "$v" ] && row "resident memory, 100k-song network (MB)" "$v" - "< 150 MB" MB
  [ -n "$(counter BM_CreatePalette cpu_median_ms)" ] || missing engine "$json"
}

run_sonalyx() {
  local log=$logs/sonalyx.$1.log
  scripts/bench-sonalyx.sh "$songs" >"$log" 2>&1 || { echo "bench-all: bench-sonalyx.sh failed (see $log)" >&2; return; }
  local line
  line=$(grep '^per song, mean ms:' "$log" | head -1 || true)
  if [ -z "$line" ]; then missing sonalyx "$log"; return; fi
  # per song, mean ms: a A  b B  c C  d D  e E  peer P
  read -r a b c d e peer < <(echo "$line" | awk '{ for (i = 1; i < NF; i++) v[$i] = $(i + 1)
      print v["a"], v["b"], v["c"], v["d"], v["e"], v["peer"] }')
  row "Tolvane ConvertToWave per song vs decode floor (ms)" "$b" "$a" "<= 1.3x" ms
  row "Pradix ExtractAudioDS per song vs decode floor (ms)" "$c" "$a" "-" ms
  row "bextractRaw per 30 s window (ms)" "$d" - "<= 20 ms" ms
  row "GetFeatures per song vs Tolvane + bextractRaw (ms)" "$e" "$(awk -v b="$b" -v d="$d" 'BEGIN { print b + d }')" "<= 1.1x" ms
  row "GetFeatures per song vs aubio (ms)" "$e" "$peer" "< 1x" ms
}

run_bextract() {
  local log=$logs/bextract.$1.log
  scripts/bench-bextract.sh --benchmark_repetitions="$bextract_reps" \
    --benchmark_report_aggregates_only=true >"$log" 2>&1 || { echo "bench-all: bench-bextract.sh failed (see $log)" >&2; return; }
  local t
  t=$(gbench_ms "$log" BM_BextractRaw)
  if [ -n "$t" ]; then
    row "bextractRaw, built-in 30 s signal (ms)" "$t" - "<= 20 ms" ms
    row "bextractRaw, built-in 30 s signal, CPU (ms)" "$(gbench_ms "$log" BM_BextractRaw cpu)" - "-" ms
  else missing bextract "$log"; fi
}

run_inference() {
  local log=$logs/inference.$1.log
  BENCH_RUNS=$inference_runs scripts/bench-inference.sh >"$log" 2>&1 || { echo "bench-all: bench-inference.sh failed (see $log)" >&2; return; }
  local q e s l f
  q=$(field "$log" "quality engine top5 jaccard: "); e=$(field "$log" "quality reference euclidean z-scored top5 jaccard: ")
  s=$(field "$log" "median similarity pairwise path us/pair: ")
  l=$(sed -n 's/^median similarity pairwise path.*(libsvm on the same vectors: \([0-9.]*\)).*/\1/p' "$log" | head -1)
  f=$(field "$log" "median full 10000 ms per visited song: ")
  if [ -n "$q" ] && [ -n "$e" ]; then row "link quality, top-5 Jaccard vs z-scored Euclidean" "$q" "$e" ">= 0.50, > 1x" -
  else missing "inference quality" "$log"; fi
  if [ -n "$s" ] && [ -n "$l" ]; then row "pairwise similarity per pair vs libsvm predict (us)" "$s" "$l" "-" us
  else missing "inference similarity" "$log"; fi
  if [ -n "$f" ]; then row "full link inference, 10k songs, per visited song (ms)" "$f" - "<= 3 ms" ms
  else missing "full inference" "$log"; fi
}

for ((r = 1; r <= rounds; r++)); do
  for part in network features engine sonalyx bextract inference; do
    wanted "$part" || continue
    echo "bench-all: round $r/$rounds: $part (load $(cut -d' ' -f1 /proc/loadavg))" >&2
    "run_$part" "$r"
  done
done
load_end=$(cut -d' ' -f1-3 /proc/loadavg)

# One row per measure, in first-seen order: medians over the rounds.
echo
echo "bench-all: $rounds round(s)$([ "$quick" = 1 ] && echo ", quick"); load average at start $load_start, at end $load_end"
awk -F'|' '
  function median(list,   n, a, i, j, t) {
    n = split(list, a, " ")
    for (i = 2; i <= n; i++) { t = a[i]; for (j = i - 1; j >= 1 && a[j] + 0 > t + 0; j--) a[j + 1] = a[j]; a[j + 1] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  !($1 in seen) { seen[$1] = 1; order[++count] = $1; target[$1] = $5 }
  { fig[$1] = fig[$1] " " $2; if ($3 != "-") ref[$1] = ref[$1] " " $3; if ($4 != "-") rat[$1] = rat[$1] " " $4 }
  END {
    printf "%-52s %12s %12s %8s  %s\n", "measure", "figure", "reference", "ratio", "target"
    for (k = 1; k <= count; k++) {
      m = order[k]
      r = (m in ref) ? sprintf("%.3f", median(ref[m])) : "-"
      q = (m in rat) ? sprintf("%.2fx", median(rat[m])) : "-"
      printf "%-52s %12.3f %12s %8s  %s\n", m, median(fig[m]), r, q, target[m]
    }
  }' "$rows"
