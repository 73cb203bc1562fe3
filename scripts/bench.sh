#!/usr/bin/env bash
# Measures load and save on generated maps and writes docs/performance.md from that one run.
# Builds a Release tree with the benchmark driver (bench/), generates three current maps (125, 500 and
# 2,000 interfaces) and a legacy map (2,000 controllers), then for every map and operation: hyperfine
# runs the driver (warm-up, repetitions, statistics, JSON/Markdown export), the driver's own line
# gives the time, CPU time and peak memory of the operation alone, and callgrind counts its instructions.
#
# Usage: scripts/bench.sh
# Environment: LUMOMAP_QT_MAJOR=5 (default 6); BENCH_RUNS (default 5); BENCH_MAPS (default
#   "small medium large legacy"); BENCH_WORK_DIR (default build/bench-work: maps, logs, profiles);
#   BENCH_REPORT (default docs/performance.md); BENCH_CALLGRIND=0 skips the instruction counts;
#   BENCH_BASELINE=REVISION also builds that git revision (it must have this driver) and counts the
#   instructions of its saves in the same run, for a before/after table.
set -euo pipefail
cd "$(dirname "$0")/.."
for tool in hyperfine valgrind jq; do
    command -v "$tool" >/dev/null || { echo "bench.sh: $tool is missing (scripts/install-deps.sh)" >&2; exit 2; }
done
qt_major=${LUMOMAP_QT_MAJOR:-6}
build_dir=build/bench-qt${qt_major}
work=${BENCH_WORK_DIR:-build/bench-work}
report=${BENCH_REPORT:-docs/performance.md}
runs=${BENCH_RUNS:-5}
maps=(${BENCH_MAPS:-small medium large legacy})
started=$(date -u '+%Y-%m-%d %H:%M:%S UTC')
load_at_start=$(cut -d' ' -f1-3 /proc/loadavg)

release=(-DCMAKE_BUILD_TYPE=Release -DLUMOMAP_QT_MAJOR="$qt_major" -DLUMOMAP_BUILD_BENCH=ON
    -DLUMOMAP_BUILD_TESTS=OFF -DLUMOMAP_BUILD_TOOLS=OFF -DLUMOMAP_BUILD_EXAMPLES=OFF)
nice scripts/build.sh "$build_dir" "${release[@]}" -DLUMOMAP_WARNINGS_AS_ERRORS=ON >&2
bench=$build_dir/bench/lumomap-bench
rm -rf "$work" && mkdir -p "$work/baseline"
drivers=("$bench")
if [ -n "${BENCH_BASELINE:-}" ]; then
    git archive "$BENCH_BASELINE" | tar -x -C "$work/baseline"
    (cd "$work/baseline" && nice scripts/build.sh build "${release[@]}" >&2)
    drivers+=("$work/baseline/build/bench/lumomap-bench")
fi

declare -A generate=([small]="current 125" [medium]="current 500" [large]="current 2000" [legacy]="legacy 2000")
# median FILE COLUMN: the median of one column of the driver's lines (the lower middle for an even count).
median() { awk -v c="$2" '{ print $c }' "$1" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# instructions DRIVER MAP MODE LABEL: "per byte (total)" of one callgrind run of the driver.
instructions() {
    local out=$work/callgrind.$2.$3.$4.out line
    line=$(valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$out" \
        "$1" "$3" "$work/$2.xml" --output "$work/$2.saved.xml" 2>/dev/null)
    awk -v b="$(echo "$line" | cut -d' ' -f2)" '/^totals:/ { printf "%.1f (%.3g)", $2 / b, $2 }' "$out"
}

rows_time=() rows_instr=() rows_maps=() rows_baseline=()
for map in "${maps[@]}"; do
    file=$work/$map.xml
    "$bench" generate ${generate[$map]} "$file"
    modes=(loadFromFile loadFromText sax stream)
    [ "$map" = legacy ] || modes+=(save saveToString)
    commands=()
    for mode in "${modes[@]}"; do
        commands+=(-n "$mode" "$bench $mode $file --output $work/$map.saved.xml --log $work/$map.$mode.log")
    done
    echo "bench.sh: hyperfine on $map" >&2
    hyperfine -N --style basic --warmup 1 --runs "$runs" --export-json "$work/$map.json" \
        --export-markdown "$work/$map.md" "${commands[@]}" >&2
    instr_row="| $map |" baseline_row="| $map |"
    for mode in "${modes[@]}"; do
        log=$work/$map.$mode.log
        tail -n "$runs" "$log" > "$log.runs" # the warm-up run's line comes first
        bytes=$(median "$log.runs" 2) wall=$(median "$log.runs" 3) cpu=$(median "$log.runs" 4)
        peak=$(median "$log.runs" 5) held=$(median "$log.runs" 6)
        process=$(jq -r --arg m "$mode" '.results[] | select(.command == $m) | .median' "$work/$map.json")
        rows_time+=("$(awk -v m="$map" -v o="$mode" -v b="$bytes" -v w="$wall" -v c="$cpu" -v p="$peak" \
            -v h="$held" -v t="$process" 'BEGIN { printf "| %s | %s | %.1f | %.1f | %.1f | %.1f | %.1f | %s | %.1f |", m, o, w / 1e6, c / 1e6,
            b / w * 1e3, p / 1024, h / 1024, o ~ /^load/ ? sprintf("%.1f", (p - h) / 1024) : "–", t * 1e3 }')")
        if [ "${BENCH_CALLGRIND:-1}" != 0 ]; then
            echo "bench.sh: callgrind $map $mode" >&2
            instr_row+=" $(instructions "$bench" "$map" "$mode" current) |"
            case ${#drivers[@]}:$mode in
            2:save*) baseline_row+=" $(instructions "${drivers[1]}" "$map" "$mode" baseline) |" ;;
            2:*) baseline_row+=" – |" ;;
            esac
        fi
    done
    [ "$map" = legacy ] && instr_row+=" – | – |" baseline_row+=" – | – |"
    rows_instr+=("$instr_row") rows_baseline+=("$baseline_row")
    rows_maps+=("| $map | ${generate[$map]} | $(stat -c %s "$file") | $(median "$work/$map.loadFromFile.log.runs" 6) |")
done

join() { printf '%s\n' "$@"; }
{
cat <<TEXT
# Performance of loading and saving

Figures of one run of \`scripts/bench.sh\` (started $started, finished $(date -u '+%Y-%m-%d %H:%M:%S UTC')),
written by it. Compare figures within one run; a shared machine makes times of different runs differ.

## Method

- **Maps**, generated by \`bench/MapGenerator.cpp\` without the library, the same bytes every run: current
  maps with N interfaces, each with its own interface template of 16 outputs holding one fixture, each
  fixture with its own fixture template of 4 nodes, one region per interface, laid out as the writer lays
  them out; a legacy map with N controllers, each followed by 9 lights on each of its 16 ports.
- **One process per run** of the driver \`bench/lumomap-bench MODE MAP\`. \`loadFromFile\` and
  \`loadFromText\` load into an empty model (loadFromText's text is read and decoded beforehand);
  \`save\` writes the model loaded from the map through a \`QTextStream\` on a \`QFile\`, flushed;
  \`saveToString\` saves into a \`QTextStream\` on a \`QString\`; \`sax\` is a bare \`QXmlSimpleReader\` pass
  with an empty \`QXmlDefaultHandler\`, \`stream\` a bare \`QXmlStreamReader\` pass, over the same file.
- **Times**: hyperfine runs every mode once to warm up and then $runs times. The driver times the
  operation alone (wall: \`QElapsedTimer\`; CPU: user + system from \`getrusage\`); the tables give the
  medians of the $runs runs. MB/s is bytes read (loads, passes) or written (saves) per median wall time,
  MB = 10^6 bytes. hyperfine's own figures (whole process: start-up and preparation included) stand
  beside them and in the exports in the work directory ($work).
- **Memory**: after the preparation the driver hands free heap back (\`malloc_trim\`), reads \`VmRSS\`, resets
  the kernel's high-water mark (\`/proc/self/clear_refs\`) and after the operation reads \`VmHWM\`: *peak* is
  what the operation added at its highest. *Held* is the heap still in use after the operation
  (\`mallinfo2\`): for a load the model itself, for saveToString the string's capacity; *peak − held*,
  for the loads, is what the load needed beyond the model.
- **Instructions**: \`valgrind --tool=callgrind --instr-atstart=no\` runs the driver once per mode; the
  driver switches instrumentation on and off around the operation (\`<valgrind/callgrind.h>\`), so the
  count is the operation's alone. Per byte: instructions / bytes read (loads, passes) or written (saves).

## Machine and build

- CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) logical processors;
  memory: $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
- system: $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r); load average at start
  $load_at_start, at end $(cut -d' ' -f1-3 /proc/loadavg)
- Qt $(dpkg-query -W -f='${Version}' "$([ "$qt_major" = 5 ] && echo libqt5core5a || echo libqt6core6)" 2>/dev/null),
  $(c++ --version | head -1), Release build; commit $(git rev-parse --short HEAD)$(git diff --quiet HEAD -- \
  include model persistence bench || echo ' with uncommitted changes')

## Maps

| map | generated as | bytes | model held after loadFromFile (KiB) |
|---|---|---:|---:|
$(join "${rows_maps[@]}")

## Instructions per byte (callgrind; total in brackets)

| map | loadFromFile | loadFromText | sax | stream | save | saveToString |
|---|---:|---:|---:|---:|---:|---:|
$(join "${rows_instr[@]}")
$([ ${#drivers[@]} = 1 ] || { printf '\nThe saves at the baseline revision %s, in this run:\n\n%s\n%s\n' \
    "$(git rev-parse --short "$BENCH_BASELINE")" "| map | loadFromFile | loadFromText | sax | stream | save | saveToString |" \
    "|---|---:|---:|---:|---:|---:|---:|"; join "${rows_baseline[@]}"; })

## Time and memory (medians of $runs runs; the operation alone unless said)

| map | operation | wall ms | CPU ms | MB/s | peak MiB | held MiB | peak − held MiB | whole process ms (hyperfine) |
|---|---|---:|---:|---:|---:|---:|---:|---:|
$(join "${rows_time[@]}")
TEXT
} > "$report"
echo "bench.sh: wrote $report" >&2
