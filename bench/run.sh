#!/usr/bin/env bash
# bench/run.sh - How fast ferrox is, against the assemblers installed here.
#
# Builds ferrox in Release (with the benchmark's generator and timer) in its
# own build folder, writes the inputs into a scratch folder outside the
# repository, runs every command several times and prints medians of wall
# time and peak memory, the ratios of ferrox to each peer, and the scaling
# and stress results. It installs nothing: peers that are missing (NASM,
# GNU as, yasm) are skipped with a note.
#
#   bench/run.sh            the full benchmark (five to ten minutes)
#   bench/run.sh --baseline REV   also builds commit REV and runs it beside
#                           this one on the data and full-language programs
#   bench/run.sh --quick    smaller inputs and three repetitions
#   bench/run.sh --help     every option
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

reps=5
ferrox_runs=3
scale_turns=15
lines=1000000
jobs=2
timeout=900
build=""
scratch=""
keep=0
quick=0
run_scaling=1
run_stress=1
warmup=1
baseline=""
last_key=""

usage() {
  cat <<EOF
usage: bench/run.sh [options]

  --quick          inputs a tenth of the full size, 3 repetitions
  --reps N         runs of every command; the medians are printed (default 5)
  --ferrox-runs N  runs of each ferrox program per run of the peers (default 3):
                   the two ferrox programs' times are compared with each
                   other, and more runs steady their medians
  --scale-turns N  turns of the scaling runs (default 15)
  --lines N        lines of the data and full-language programs (default 1000000)
  --jobs N         parallel jobs of the build (default 2)
  --build DIR      build folder (default: build-bench in the repository)
  --scratch DIR    folder for the inputs and outputs (default: a new folder
                   under \${TMPDIR:-/tmp}, removed at the end)
  --keep           keep the scratch folder
  --timeout S      stop a single run after S seconds (default 900)
  --no-scaling     leave out the scaling runs
  --no-stress      leave out the stress inputs
  --no-warmup      time every run, without an untimed run of the same
                   command just before it
  --baseline REV   build commit REV of this repository as well and run it in
                   turn with this build on the data and full-language
                   programs (same inputs, alternating runs), then compare
EOF
}

while [ $# -gt 0 ]; do
  case "$1" in
    --quick) quick=1 ;;
    --reps) reps=$2; shift ;;
    --ferrox-runs) ferrox_runs=$2; shift ;;
    --scale-turns) scale_turns=$2; shift ;;
    --lines) lines=$2; shift ;;
    --jobs) jobs=$2; shift ;;
    --build) build=$2; shift ;;
    --scratch) scratch=$2; shift ;;
    --keep) keep=1 ;;
    --timeout) timeout=$2; shift ;;
    --no-scaling) run_scaling=0 ;;
    --no-stress) run_stress=0 ;;
    --no-warmup) warmup=0 ;;
    --baseline) baseline=$2; shift ;;
    -h|--help) usage; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; usage >&2; exit 2 ;;
  esac
  shift
done

for number in "$reps" "$ferrox_runs" "$scale_turns" "$lines" "$jobs" "$timeout"; do
  if ! [[ "$number" =~ ^[1-9][0-9]*$ ]]; then
    echo "run.sh: $number is not a positive whole number" >&2
    exit 2
  fi
done

# Sizes of the scaling and stress inputs; --quick takes a tenth of each.
scale_sizes=(100000 1000000 5000000)
oneline_values=1000000
ns_labels=1000000
ns_spaces=10000
forward_refs=100000
blob_bytes=$((50 * 1024 * 1024))
if [ "$quick" -eq 1 ]; then
  [ "$reps" -eq 5 ] && reps=3
  [ "$scale_turns" -eq 15 ] && scale_turns=3
  [ "$lines" -eq 1000000 ] && lines=100000
  scale_sizes=(10000 100000 500000)
  oneline_values=100000
  ns_labels=100000
  ns_spaces=1000
  forward_refs=10000
  blob_bytes=$((5 * 1024 * 1024))
fi

build=${build:-$repo/build-bench}
if [ -z "$scratch" ]; then
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/ferrox-bench.XXXXXX")
else
  mkdir -p "$scratch"
  scratch=$(cd "$scratch" && pwd)
fi
cleanup() {
  if [ "$keep" -eq 0 ]; then
    rm -rf "$scratch"
  fi
}
trap cleanup EXIT
mkdir -p "$scratch/in" "$scratch/out" "$scratch/results" "$scratch/logs"

# ---------------------------------------------------------------------------
# Helpers

section() { printf '\n== %s\n' "$*"; }

# Arithmetic on decimal numbers.
calc() { awk "BEGIN { printf \"%s\", ($*) }" </dev/null; }
fmt() { awk -v v="$2" "BEGIN { if (v == \"\") print \"-\"; else printf \"$1\", v }" </dev/null; }

# Median of the numbers read, one a line.
median() {
  sort -g | awk '{ a[NR] = $1 }
    END { if (NR == 0) exit
          if (NR % 2) print a[(NR + 1) / 2]; else print (a[NR / 2] + a[NR / 2 + 1]) / 2 }'
}

# run_once KEY COMMAND...: one timed run, appended to results/KEY as
# "seconds kilobytes status"; the command's output goes to logs/KEY.log.
# A key that has failed or timed out is not run again.
run_once() {
  local key=$1
  shift
  local results="$scratch/results/$key"
  if [ -f "$scratch/results/$key.failed" ]; then
    return 0
  fi
  local status=0
  rm -f "$results.last"
  # Every timed run follows an untimed run of the same command, so that what
  # the command before left behind does not land in its time: on virtual
  # machines that back guest memory lazily, memory another program freed
  # seconds ago, or in small pieces (GNU as), costs a fault on the host at
  # its first touch (measured: the full-language program ~25% slower right
  # after GNU as than right after itself, the data program ~20%).
  # A command run again right after itself needs no untimed run first.
  if [ "$warmup" -eq 1 ] && [ "$key" != "$last_key" ]; then
    sync
    (cd "$scratch/in" && "$timer" --timeout "$timeout" "$results.warmup" "$@") \
      >/dev/null 2>&1 || true
  fi
  # The files earlier commands wrote (an object file of tens of megabytes)
  # are written back first, so that the system's writeback does not run
  # during this command and land in its time.
  sync
  (cd "$scratch/in" && "$timer" --timeout "$timeout" "$results.last" "$@") \
    >"$scratch/logs/$key.log" 2>&1 || status=$?
  if [ ! -s "$results.last" ]; then
    echo "0 0 cannot-run" >"$results.last"
  fi
  cat "$results.last" >>"$results"
  last_key=$key
  if [ "$status" -ne 0 ]; then
    cp "$results.last" "$scratch/results/$key.failed"
  fi
}

# Median seconds and median peak memory in megabytes of KEY; nothing when
# a run of it failed.
seconds() { measured "$1" && awk '{ print $1 }' "$scratch/results/$1" | median; }
megabytes() { measured "$1" && awk '{ print $2 / 1024 }' "$scratch/results/$1" | median; }
# Fastest and slowest run of KEY, to show how much the machine's load moved.
spread_of() {
  measured "$1" && awk 'NR == 1 { lo = hi = $1 } { if ($1 < lo) lo = $1; if ($1 > hi) hi = $1 }
    END { printf "%.3f-%.3f", lo, hi }' "$scratch/results/$1"
}
# Empty when every run of KEY succeeded, otherwise how the failure ended.
failure() {
  if [ -f "$scratch/results/$1.failed" ]; then
    cut -d' ' -f3- "$scratch/results/$1.failed"
  fi
}
measured() { [ -s "$scratch/results/$1" ] && [ -z "$(failure "$1")" ]; }

# Prints the tail of a failed command's output.
show_failure() {
  local key=$1
  echo "   $key failed ($(failure "$key")); the end of its output:"
  tail -n 8 "$scratch/logs/$key.log" | sed 's/^/     | /'
}

# Ratio a / b with two decimals, or "-" when either is missing.
ratio() {
  if [ -z "$1" ] || [ -z "$2" ] || [ "$(calc "$2 <= 0")" = 1 ]; then
    echo "-"
  else
    calc "sprintf(\"%.3f\", $1 / $2)"
  fi
}

same_bytes() { cmp -s "$1" "$2" && echo yes || echo NO; }

# ---------------------------------------------------------------------------
section "ferrox benchmark"

echo "date:      $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "machine:   $(uname -srm), $(nproc 2>/dev/null || echo '?') cores," \
  "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo 2>/dev/null)"
cpu=$(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo 2>/dev/null || true)
[ -n "$cpu" ] && echo "processor: $cpu"
echo "load:      $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo '?') (1, 5, 15 minutes) at the start"
commit=$(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo "not a git checkout")
if [ -n "$(git -C "$repo" status --porcelain 2>/dev/null | grep -v '^??' || true)" ]; then
  commit="$commit (with uncommitted changes)"
fi
echo "ferrox:    $commit, built in $build"
if [ "$warmup" -eq 1 ]; then
  echo "runs:      $reps of every peer command and $((reps * ferrox_runs)) of each ferrox program," \
    "each right after an untimed run of it; medians shown; at most $timeout s a run"
else
  echo "runs:      $reps of every peer command and $((reps * ferrox_runs)) of each ferrox program," \
    "medians shown; at most $timeout s a run"
fi

# ---------------------------------------------------------------------------
section "Build"

if ! command -v cmake >/dev/null 2>&1; then
  echo "cmake is not installed; it is needed to build ferrox" >&2
  exit 1
fi
build_log="$scratch/logs/build.log"
start=$(date +%s)
if ! { cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFERROX_TESTS=OFF \
         -DFERROX_BENCHMARKS=ON &&
       cmake --build "$build" -j "$jobs" --target ferrox ferrox_bench_gen ferrox_bench_time
     } >"$build_log" 2>&1; then
  echo "the build failed; the end of its output:" >&2
  tail -n 30 "$build_log" >&2
  exit 1
fi
ferrox="$build/ferrox"
if [ -n "$baseline" ]; then
  # The baseline's own sources, built the same way in a folder of its own;
  # the inputs and the timer are this build's, so only ferrox differs.
  base_rev=$(git -C "$repo" rev-parse --short "$baseline^{commit}") || {
    echo "run.sh: $baseline is not a commit of this repository" >&2
    exit 2
  }
  base_src="$scratch/baseline-src"
  base_build="$scratch/baseline-build"
  mkdir -p "$base_src"
  if ! { git -C "$repo" archive "$base_rev" | tar -x -C "$base_src" &&
         cmake -S "$base_src" -B "$base_build" -DCMAKE_BUILD_TYPE=Release \
           -DFERROX_TESTS=OFF -DFERROX_EDITORS=OFF &&
         cmake --build "$base_build" -j "$jobs" --target ferrox
       } >"$scratch/logs/baseline-build.log" 2>&1; then
    echo "the baseline's build failed; the end of its output:" >&2
    tail -n 30 "$scratch/logs/baseline-build.log" >&2
    exit 1
  fi
  base_ferrox="$base_build/ferrox"
  echo "baseline:  $base_rev, built in $base_build"
fi
gen="$build/bench/ferrox_bench_gen"
timer="$build/bench/ferrox_bench_time"
cxx=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' "$build/CMakeCache.txt" 2>/dev/null | head -n 1)
echo "Release build in $(($(date +%s) - start)) s with ${cxx:-the default compiler}" \
  "($("${cxx:-c++}" --version 2>/dev/null | head -n 1 || echo 'version unknown'))"

# Peers: each is used only when installed.
have_nasm=0
have_as=0
have_yasm=0
if command -v nasm >/dev/null 2>&1; then
  have_nasm=1
  echo "NASM:      $(nasm -v 2>/dev/null | head -n 1)"
else
  echo "NASM:      not installed, skipped (Debian package nasm); the byte comparison is skipped too"
fi
if command -v as >/dev/null 2>&1 && as --version 2>/dev/null | grep -q 'GNU assembler' &&
   echo '.byte 1' | as --32 -o "$scratch/out/probe.o" - >/dev/null 2>&1; then
  have_as=1
  echo "GNU as:    $(as --version 2>/dev/null | head -n 1)"
else
  echo "GNU as:    not installed or without --32, skipped (Debian package binutils)"
fi
if command -v yasm >/dev/null 2>&1; then
  have_yasm=1
  echo "yasm:      $(yasm --version 2>/dev/null | head -n 1)"
else
  echo "yasm:      not installed, skipped (Debian package yasm)"
fi

# ---------------------------------------------------------------------------
section "Inputs (in $scratch/in)"

in="$scratch/in"
out="$scratch/out"
start=$(date +%s.%N)
"$gen" empty 0 "$in/empty"
"$gen" data "$lines" "$in/data-$lines"
"$gen" full "$lines" "$in/full"
if [ "$run_scaling" -eq 1 ]; then
  for size in "${scale_sizes[@]}"; do
    [ -f "$in/data-$size.tvs" ] || "$gen" data "$size" "$in/data-$size" --ferrox-only
  done
fi
if [ "$run_stress" -eq 1 ]; then
  "$gen" oneline "$oneline_values" "$in/oneline"
  "$gen" namespaces "$ns_labels" "$in/namespaces" "$ns_spaces"
  "$gen" forward "$forward_refs" "$in/forward"
  "$gen" includebin "$blob_bytes" "$in/blob"
fi
echo "generated in $(calc "sprintf(\"%.1f\", $(date +%s.%N) - $start)") s:" \
  "$(du -sh "$in" | cut -f1) of programs"

# ---------------------------------------------------------------------------
section "Data program, $lines lines (labels, bytes, words, label words)"

data="data-$lines"
peers=()
[ "$have_nasm" -eq 1 ] && peers+=(nasm)
[ "$have_as" -eq 1 ] && peers+=(as)
[ "$have_yasm" -eq 1 ] && peers+=(yasm)

declare -A peer_command=(
  [nasm]="nasm -f bin -o $out/$data.nasm.bin $data.asm"
  [as]="as --32 -o $out/$data.o $data.s"
  [yasm]="yasm -f bin -o $out/$data.yasm.bin $data.asm"
)

# The commands take turns within every repetition, so that a change in the
# machine's load touches all of them alike. The two ferrox programs, whose
# times are compared with each other, run one right after the other, and
# several times: this machine's speed changes from one second to the next,
# and a peer's run between them (NASM takes seconds) would set them in
# different moments.
for ((rep = 1; rep <= reps; rep++)); do
  for ((i = 0; i < ferrox_runs; i++)); do
    run_once "ferrox-$data" "$ferrox" "$data.tvs" "$out/$data.img" -nodisk -nobootinfo
    if [ -n "$baseline" ]; then
      run_once "baseline-$data" "$base_ferrox" "$data.tvs" "$out/$data.base.img" -nodisk -nobootinfo
    fi
    run_once "ferrox-full" "$ferrox" full.tvs "$out/full.img"
    if [ -n "$baseline" ]; then
      run_once "baseline-full" "$base_ferrox" full.tvs "$out/full.base.img"
    fi
  done
  for peer in "${peers[@]}"; do
    # shellcheck disable=SC2086 # the command is split into its words
    run_once "$peer-$data" ${peer_command[$peer]}
  done
done

ours_s=$(seconds "ferrox-$data" || true)
ours_mb=$(megabytes "ferrox-$data" || true)
row='%-28s %10s %15s %10s %12s %12s\n'
# shellcheck disable=SC2059 # the format is the same for every row
printf "$row" "command" "median s" "range s" "peak MB" "time ratio" "memory ratio"
# shellcheck disable=SC2059
printf "$row" "ferrox -nodisk -nobootinfo" "$(fmt %.3f "$ours_s")" \
  "$(spread_of "ferrox-$data" || echo -)" "$(fmt %.1f "$ours_mb")" "" ""
declare -A peer_s peer_mb
for peer in "${peers[@]}"; do
  peer_s[$peer]=$(seconds "$peer-$data" || true)
  peer_mb[$peer]=$(megabytes "$peer-$data" || true)
  label=${peer_command[$peer]%% -o *}
  # shellcheck disable=SC2059
  printf "$row" "$label" "$(fmt %.3f "${peer_s[$peer]}")" "$(spread_of "$peer-$data" || echo -)" \
    "$(fmt %.1f "${peer_mb[$peer]}")" "$(ratio "$ours_s" "${peer_s[$peer]}")" \
    "$(ratio "$ours_mb" "${peer_mb[$peer]}")"
done
echo "(ratios are ferrox / peer: below 1 means ferrox is faster or smaller)"
for key in "ferrox-$data" "${peers[@]/%/-$data}"; do
  [ -n "$(failure "$key")" ] && show_failure "$key"
done
if measured "ferrox-$data"; then
  echo "ferrox lines per second: $(calc "sprintf(\"%.0f\", $lines / $ours_s)")"
fi
nasm_equal="-"
if [ "$have_nasm" -eq 1 ] && measured "ferrox-$data" && measured "nasm-$data"; then
  nasm_equal=$(same_bytes "$out/$data.img" "$out/$data.nasm.bin")
  echo "ferrox's image equals NASM's byte for byte: $nasm_equal" \
    "($(wc -c <"$out/$data.img") and $(wc -c <"$out/$data.nasm.bin") bytes)"
fi
if [ "$have_yasm" -eq 1 ] && measured "ferrox-$data" && measured "yasm-$data"; then
  echo "ferrox's image equals yasm's byte for byte: $(same_bytes "$out/$data.img" "$out/$data.yasm.bin")"
fi

# ---------------------------------------------------------------------------
section "Full-language program, $lines lines (instructions, macros, conditionals, includes, namespaces)"

full_s=$(seconds ferrox-full || true)
full_mb=$(megabytes ferrox-full || true)
# shellcheck disable=SC2059
printf "$row" "command" "median s" "range s" "peak MB" "" ""
# shellcheck disable=SC2059
printf "$row" "ferrox full.tvs" "$(fmt %.3f "$full_s")" "$(spread_of ferrox-full || echo -)" \
  "$(fmt %.1f "$full_mb")" "" ""
if measured ferrox-full; then
  echo "ferrox lines per second: $(calc "sprintf(\"%.0f\", $lines / $full_s)")"
  echo "full-language / data program time: $(ratio "$full_s" "$ours_s")"
else
  show_failure ferrox-full
fi

# ---------------------------------------------------------------------------
if [ -n "$baseline" ]; then
  section "This build against the baseline $base_rev (runs alternating, same inputs)"
  printf '%-24s %10s %10s %10s %10s %10s %10s %8s\n' "program" "this s" "base s" \
    "time x" "this MB" "base MB" "memory x" "image"
  for program in "$data" full; do
    this_s=$(seconds "ferrox-$program" || true)
    base_s=$(seconds "baseline-$program" || true)
    this_mb=$(megabytes "ferrox-$program" || true)
    base_mb=$(megabytes "baseline-$program" || true)
    image=$(if [ "$program" = full ]; then
              same_bytes "$out/full.img" "$out/full.base.img"
            else
              same_bytes "$out/$data.img" "$out/$data.base.img"
            fi)
    printf '%-24s %10s %10s %10s %10s %10s %10s %8s\n' "$program" "$(fmt %.3f "$this_s")" \
      "$(fmt %.3f "$base_s")" "$(ratio "$this_s" "$base_s")" "$(fmt %.1f "$this_mb")" \
      "$(fmt %.1f "$base_mb")" "$(ratio "$this_mb" "$base_mb")" "$image"
  done
  echo "(x: this build / the baseline; image: both wrote the same bytes)"
fi

# ---------------------------------------------------------------------------
linear="-"
if [ "$run_scaling" -eq 1 ]; then
  section "Scaling (data programs; the time of an empty program is taken off as start-up)"
  # Smaller programs run more often in each turn, so that every size is
  # measured for about as long as the largest: single runs of tens of
  # milliseconds vary by a quarter on a shared machine, and seven of them
  # give a median that moves by more than the 15% the check allows.
  largest=${scale_sizes[${#scale_sizes[@]} - 1]}
  runs_of() {
    local runs=$(((largest + $1 / 2) / $1))
    [ "$runs" -lt 1 ] && runs=1
    [ "$runs" -gt 50 ] && runs=50
    echo "$runs"
  }
  # Many turns: the figures of the smallest programs move with the machine's
  # moments, and the check compares the sizes' medians with each other.
  for ((rep = 1; rep <= scale_turns; rep++)); do
    for ((i = 0; i < $(runs_of 1); i++)); do
      run_once ferrox-empty "$ferrox" empty.tvs "$out/empty.img" -nodisk -nobootinfo
    done
    # Every size is measured here, in turns, even the one compared with the
    # peers above: times taken at different moments would compare the
    # machine's load rather than the sizes.
    for size in "${scale_sizes[@]}"; do
      for ((i = 0; i < $(runs_of "$size"); i++)); do
        run_once "ferrox-scale-$size" "$ferrox" "data-$size.tvs" "$out/data-$size.img" -nodisk -nobootinfo
      done
    done
  done
  counts=""
  for size in "${scale_sizes[@]}"; do
    counts="$counts$size lines $((scale_turns * $(runs_of "$size"))), "
  done
  echo "runs: ${counts}the empty program $((scale_turns * $(runs_of 1))), in $scale_turns turns"
  # A turn's runs of one size take about as long as one run of the largest:
  # each turn gives one figure, the mean of its runs, and the median of
  # those is compared, so every size's figure spans the machine's changes
  # of speed (phases of a second or so here) as the largest's runs do.
  turn_seconds() {
    measured "$1" && awk -v n="$2" '{ sum += $1 } NR % n == 0 { print sum / n; sum = 0 }' \
      "$scratch/results/$1" | median
  }
  empty_s=$(turn_seconds ferrox-empty "$(runs_of 1)" || true)
  echo "empty program: $(fmt %.4f "$empty_s") s, $(fmt %.1f "$(megabytes ferrox-empty || true)") MB"
  echo "(median s: the median over the turns of each turn's mean; range s: of single runs)"
  printf '%10s %10s %15s %10s %12s %12s %10s\n' "lines" "median s" "range s" "net s" \
    "ns per line" "lines/s" "peak MB"
  per_line=()
  fastest_per_line=()
  empty_fastest=$(measured ferrox-empty && sort -g "$scratch/results/ferrox-empty" | awk 'NR == 1 { print $1 }')
  for size in "${scale_sizes[@]}"; do
    key="ferrox-scale-$size"
    if ! measured "$key"; then
      printf '%10s %10s\n' "$size" "failed"
      [ -s "$scratch/results/$key" ] && show_failure "$key"
      continue
    fi
    s=$(turn_seconds "$key" "$(runs_of "$size")")
    net=$(calc "($s - ${empty_s:-0}) > 0 ? $s - ${empty_s:-0} : $s")
    ns=$(calc "sprintf(\"%.1f\", $net * 1e9 / $size)")
    per_line+=("$ns")
    fastest=$(sort -g "$scratch/results/$key" | awk 'NR == 1 { print $1 }')
    fastest_per_line+=("$(calc "($fastest - ${empty_fastest:-0}) * 1e9 / $size")")
    printf '%10s %10.4f %15s %10.4f %12s %12.0f %10.1f\n' "$size" "$s" "$(spread_of "$key")" "$net" "$ns" \
      "$(calc "$size / $net")" "$(megabytes "$key")"
  done
  if [ "${#per_line[@]}" -eq "${#scale_sizes[@]}" ]; then
    largest_over_smallest() {
      printf '%s\n' "$@" |
        awk 'NR == 1 { lo = hi = $1 } { if ($1 < lo) lo = $1; if ($1 > hi) hi = $1 }
             END { printf "%.3f", hi / lo }'
    }
    spread=$(largest_over_smallest "${per_line[@]}")
    linear=$([ "$(calc "$spread <= 1.15")" = 1 ] && echo yes || echo no)
    echo "time per line, largest / smallest: $spread; linear within 15%: $linear"
    # The fastest runs are the least disturbed by other work on the machine:
    # when only the medians miss, the load is the likelier cause.
    echo "the same from the fastest runs: $(largest_over_smallest "${fastest_per_line[@]}")"
  fi
fi

# ---------------------------------------------------------------------------
if [ "$run_stress" -eq 1 ]; then
  section "Stress inputs"
  for ((rep = 1; rep <= reps; rep++)); do
    run_once ferrox-oneline "$ferrox" oneline.tvs "$out/oneline.img" -nodisk -nobootinfo
    run_once ferrox-namespaces "$ferrox" namespaces.tvs "$out/namespaces.img" -nodisk -nobootinfo
    run_once ferrox-forward "$ferrox" forward.tvs "$out/forward.img" -nodisk -nobootinfo
    run_once ferrox-blob "$ferrox" blob.tvs "$out/blob.img" -nodisk -nobootinfo
  done
  # The one-line program is also assembled once by NASM to check the bytes.
  oneline_check="assembled"
  if measured ferrox-oneline && [ "$have_nasm" -eq 1 ]; then
    if (cd "$in" && nasm -f bin -o "$out/oneline.nasm.bin" oneline.asm) >/dev/null 2>&1; then
      oneline_check="equals NASM's image: $(same_bytes "$out/oneline.img" "$out/oneline.nasm.bin")"
    fi
  fi
  blob_check="assembled"
  if measured ferrox-blob; then
    blob_check="equals the included file: $(same_bytes "$out/blob.img" "$in/blob.bin")"
  fi
  printf '%-38s %10s %15s %10s  %s\n' "input" "median s" "range s" "peak MB" "result"
  stress_row() {
    local key=$1 title=$2 check=$3
    if measured "$key"; then
      printf '%-38s %10.3f %15s %10.1f  %s\n' "$title" "$(seconds "$key")" "$(spread_of "$key")" \
        "$(megabytes "$key")" "$check"
    else
      printf '%-38s %10s %15s %10s  %s\n' "$title" "-" "-" "-" "failed"
      show_failure "$key"
    fi
  }
  stress_row ferrox-oneline "one line of $oneline_values values" "$oneline_check"
  stress_row ferrox-namespaces "$ns_labels labels in $ns_spaces namespaces" "assembled"
  stress_row ferrox-forward "$forward_refs forward references" "assembled"
  stress_row ferrox-blob "includebin of $((blob_bytes / 1048576)) MiB" "$blob_check"
fi

# ---------------------------------------------------------------------------
section "Targets, on the $lines-line data program of this run"

# "met" when the measured ratio is at most the target.
verdict() {
  if [ "$1" = "-" ]; then
    echo "not measured"
  elif [ "$(calc "$1 <= $2")" = 1 ]; then
    echo met
  else
    echo "NOT met"
  fi
}
# "met" for a yes.
verdict_yes() {
  case "$1" in
    yes) echo met ;;
    -) echo "not measured" ;;
    *) echo "NOT met" ;;
  esac
}
as_time=$(ratio "$ours_s" "${peer_s[as]:-}")
nasm_time=$(ratio "$ours_s" "${peer_s[nasm]:-}")
as_mem=$(ratio "$ours_mb" "${peer_mb[as]:-}")
nasm_mem=$(ratio "$ours_mb" "${peer_mb[nasm]:-}")
full_ratio=$(ratio "$full_s" "$ours_s")
printf '%-44s %8s  %s\n' "ferrox time / GNU as time <= 0.2" "$as_time" "$(verdict "$as_time" 0.2)"
printf '%-44s %8s  %s\n' "ferrox time / NASM time <= 0.05" "$nasm_time" "$(verdict "$nasm_time" 0.05)"
printf '%-44s %8s  %s\n' "ferrox memory / GNU as memory <= 1" "$as_mem" "$(verdict "$as_mem" 1)"
printf '%-44s %8s  %s\n' "ferrox memory / NASM memory <= 1 (goal)" "$nasm_mem" "$(verdict "$nasm_mem" 1)"
printf '%-44s %8s  %s\n' "full-language time / data time <= 1.5" "$full_ratio" "$(verdict "$full_ratio" 1.5)"
printf '%-44s %8s  %s\n' "image equals NASM's" "$nasm_equal" "$(verdict_yes "$nasm_equal")"
printf '%-44s %8s  %s\n' "time per line linear within 15%" "$linear" "$(verdict_yes "$linear")"

echo
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null || echo '?')"
if [ "$keep" -eq 1 ]; then
  echo "inputs, images, timings and logs kept in $scratch"
fi
