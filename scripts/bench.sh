#!/usr/bin/env bash
# Measures load, save, the JSON form and the diff on generated maps, and the command-line tool's
# commands on them, and writes docs/performance.md from that one run.
# Builds a Release tree with the benchmark driver (bench/) and the tool, generates three current maps
# (125, 500 and 2,000 interfaces) and a legacy map (2,000 controllers), then for every map:
#   - library operations: hyperfine runs the driver for each (warm-up, repetitions, statistics,
#     JSON/Markdown export), the driver's own line gives the time, CPU time and peak memory of the
#     operation alone, and callgrind counts its instructions;
#   - tool commands (convert XML -> XML, XML -> JSON, JSON -> XML, info, diff of two copies, patch to
#     CSV and to JSON): /usr/bin/time gives the CPU time and peak resident memory of the whole process
#     (medians of the runs), callgrind counts the whole process's instructions once.
#
# Usage: scripts/bench.sh
# Environment: LUMOMAP_QT_MAJOR=5 (default 6); BENCH_RUNS (default 5); BENCH_MAPS (default
#   "small medium large legacy"); BENCH_WORK_DIR (default build/bench-work: maps, logs, profiles);
#   BENCH_REPORT (default docs/performance.md); BENCH_CALLGRIND=0 skips the instruction counts;
#   BENCH_BASELINE=REVISION also builds that git revision and, in the same run, counts the
#   instructions of its saves and measures its tool's commands, for a before/after table (a driver
#   mode or a command the revision lacks is shown as "–"); BENCH_BASELINE_CALLGRIND_MAPS (default
#   "large") are the maps on which the baseline tool's instructions are counted.
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
    -DLUMOMAP_BUILD_TESTS=OFF -DLUMOMAP_BUILD_TOOLS=ON -DLUMOMAP_BUILD_EXAMPLES=OFF)
nice scripts/build.sh "$build_dir" "${release[@]}" -DLUMOMAP_WARNINGS_AS_ERRORS=ON >&2
bench=$build_dir/bench/lumomap-bench
rm -rf "$work" && mkdir -p "$work"
drivers=("$bench") tools=("$build_dir/tools/lumomap/lumomap")
if [ -n "${BENCH_BASELINE:-}" ]; then
    # The revision's tree and build stay beside the others, so a later run builds only what changed.
    baseline=build/bench-baseline/$(git rev-parse --short "$BENCH_BASELINE")-qt$qt_major
    [ -f "$baseline/CMakeLists.txt" ] || { mkdir -p "$baseline" && git archive "$BENCH_BASELINE" | tar -x -C "$baseline"; }
    (cd "$baseline" && nice scripts/build.sh build "${release[@]}" >&2)
    drivers+=("$baseline/build/bench/lumomap-bench") tools+=("$baseline/build/tools/lumomap/lumomap")
fi
bench_started=$(date +%s)

declare -A generate=([small]="current 125" [medium]="current 500" [large]="current 2000" [legacy]="legacy 2000")
# median FILE COLUMN: the median of one column of the driver's lines (the lower middle for an even count).
median() { awk -v c="$2" '{ print $c }' "$1" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# input MAP MODE: the file a driver mode reads (readJson reads the JSON form, the others the map file).
input() { [ "$2" = readJson ] && echo "$work/$1.form.json" || echo "$work/$1.xml"; }

# instructions DRIVER MAP MODE LABEL: "per byte (total)" of one callgrind run of the driver, or "–" when
# the driver has no such mode.
instructions() {
    local out=$work/callgrind.$2.$3.$4.out line
    line=$(valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$out" \
        "$1" "$3" "$(input "$2" "$3")" --output "$work/$2.saved.$3" 2>/dev/null) || { echo "–"; return; }
    awk -v b="$(echo "$line" | cut -d' ' -f2)" '/^totals:/ { printf "%.1f (%.3g)", $2 / b, $2 }' "$out"
}

# The tool's commands, by name, with their arguments on MAP's files.
tool_commands=(convert-xml convert-to-json convert-from-json info diff patch-csv patch-json)
declare -A tool_label=([convert-xml]="convert XML -> XML" [convert-to-json]="convert XML -> JSON"
    [convert-from-json]="convert JSON -> XML" [info]="info" [diff]="diff of two copies" [patch-csv]="patch -o CSV"
    [patch-json]="patch -o JSON")
# The command each is held against: convert against convert XML -> XML, diff and patch against info.
declare -A tool_reference=([convert-to-json]=convert-xml [convert-from-json]=convert-xml [diff]=info
    [patch-csv]=info [patch-json]=info)
tool_arguments() {
    local m=$work/$1
    case $2 in
    convert-xml) echo "convert $m.xml $m.out.xml" ;;
    convert-to-json) echo "convert $m.xml $m.out.json" ;;
    convert-from-json) echo "convert $m.form.json $m.back.xml" ;;
    info) echo "info $m.xml" ;;
    diff) echo "diff $m.xml $m.copy.xml" ;;
    patch-csv) echo "patch $m.xml -o $m.patch.csv" ;;
    patch-json) echo "patch $m.xml -o $m.patch.json" ;;
    esac
}
# measure_tool TOOL MAP COMMAND LABEL: runs the command BENCH_RUNS times under /usr/bin/time and prints
# "CPU_S PEAK_MIB" (medians), or "– –" when the command fails (a revision without it).
measure_tool() {
    local log=$work/tool.$2.$3.$4.log i
    : > "$log"
    for i in $(seq "$runs"); do
        # shellcheck disable=SC2046
        /usr/bin/time -f "%U %S %M" -a -o "$log" "$1" $(tool_arguments "$2" "$3") >/dev/null 2>&1 ||
            { echo "– –"; return; }
    done
    awk '{ print $1 + $2, $3 }' "$log" > "$log.sums"
    echo "$(median "$log.sums" 1) $(median "$log.sums" 2)"
}
# tool_instructions TOOL MAP COMMAND LABEL: "per byte of the map file (total)" of the whole process.
tool_instructions() {
    local out=$work/callgrind.tool.$2.$3.$4.out
    # shellcheck disable=SC2046
    valgrind --tool=callgrind --callgrind-out-file="$out" "$1" $(tool_arguments "$2" "$3") >/dev/null 2>&1 ||
        { echo "–"; return; }
    awk -v b="$(stat -c %s "$work/$2.xml")" '/^totals:/ { printf "%.1f (%.3g)", $2 / b, $2 }' "$out"
}

rows_time=() rows_instr=() rows_maps=() rows_baseline=() rows_tool=()
for map in "${maps[@]}"; do
    file=$work/$map.xml
    "$bench" generate ${generate[$map]} "$file"
    "$bench" writeJson "$file" --output "$work/$map.form.json" >/dev/null
    cp "$file" "$work/$map.copy.xml"
    modes=(loadFromFile loadFromText sax stream)
    [ "$map" = legacy ] || modes+=(save saveToString)
    modes+=(writeJson readJson diff)
    commands=()
    for mode in "${modes[@]}"; do
        commands+=(-n "$mode" "$bench $mode $(input "$map" "$mode") --output $work/$map.saved.$mode --log $work/$map.$mode.log")
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
            b / w * 1e3, p / 1024, h / 1024, o ~ /^(load|readJson)/ ? sprintf("%.1f", (p - h) / 1024) : "–", t * 1e3 }')")
        if [ "${BENCH_CALLGRIND:-1}" != 0 ]; then
            echo "bench.sh: callgrind $map $mode" >&2
            instr_row+=" $(instructions "$bench" "$map" "$mode" current) |"
            case ${#drivers[@]}:$mode in
            2:save* | 2:*Json | 2:diff) baseline_row+=" $(instructions "${drivers[1]}" "$map" "$mode" baseline) |" ;;
            2:*) baseline_row+=" – |" ;;
            esac
        fi
        [ "$mode" = stream ] && [ "$map" = legacy ] && instr_row+=" – | – |" baseline_row+=" – | – |"
    done
    rows_instr+=("$instr_row") rows_baseline+=("$baseline_row")
    rows_maps+=("| $map | ${generate[$map]} | $(stat -c %s "$file") | $(stat -c %s "$work/$map.form.json") | $(median "$work/$map.loadFromFile.log.runs" 6) |")

    declare -A cpu=() peak=()
    for command in "${tool_commands[@]}"; do
        for t in "${!tools[@]}"; do
            echo "bench.sh: tool $map $command ($t)" >&2
            read -r "cpu[$t.$command]" "peak[$t.$command]" <<< "$(measure_tool "${tools[$t]}" "$map" "$command" "$t")"
        done
    done
    for command in "${tool_commands[@]}"; do
        row="| $map | ${tool_label[$command]} |"
        for t in "${!tools[@]}"; do
            reference=${tool_reference[$command]:-}
            row+=" $(awk -v c="${cpu[$t.$command]}" -v p="${peak[$t.$command]}" -v rc="${cpu[$t.${reference:-x}]:-}" \
                -v rp="${peak[$t.${reference:-x}]:-}" 'BEGIN {
                if (c == "–") { printf "– | – | –"; exit }
                printf "%.2f | %.0f | ", c, p / 1024
                if (rc == "" || rc == "–" || rc == 0) printf "–"; else printf "%.1f× / %.1f×", c / rc, p / rp }') |"
            if [ "${BENCH_CALLGRIND:-1}" = 0 ] || { [ "$t" = 1 ] &&
                [[ " ${BENCH_BASELINE_CALLGRIND_MAPS:-large} " != *" $map "* ]]; }; then
                row+=" – |"
            else
                echo "bench.sh: callgrind tool $map $command ($t)" >&2
                row+=" $(tool_instructions "${tools[$t]}" "$map" "$command" "$t") |"
            fi
        done
        rows_tool+=("$row")
    done
    unset cpu peak
done
# The output component on the large map: the instructions per channel of setting every node of a frame
# (one call per node, one call for all), and the CPU of streaming sACN to 127.0.0.1 for 200 frames at
# 40 frames a second at most, every node changed in every frame, so every universe is sent every frame.
rows_output=()
if [[ " ${maps[*]} " == *" large "* ]]; then
    for mode in setNode setNodes; do
        echo "bench.sh: callgrind large $mode" >&2
        rows_output+=("| $mode | $(instructions "$bench" large "$mode" current) | – | – | – |")
    done
    echo "bench.sh: sendFrames large" >&2
    read -r _ packets wall_ns cpu_ns _ <<< "$("$bench" sendFrames "$work/large.xml")"
    rows_output+=("$(awk -v p="$packets" -v w="$wall_ns" -v c="$cpu_ns" 'BEGIN {
        printf "| sendFrames | – | %d packets in %.1f s | %.1f s (%.2f of a core) | %.2f µs |", p, w / 1e9, c / 1e9, c / w, c / p / 1e3 }')")
fi
bench_seconds=$(( $(date +%s) - bench_started ))

join() { printf '%s\n' "$@"; }
{
cat <<TEXT
# Performance of loading, saving, the JSON form, the diff and the tool

Figures of one run of \`scripts/bench.sh\` (started $started, finished $(date -u '+%Y-%m-%d %H:%M:%S UTC');
the measuring took $((bench_seconds / 60)) min $((bench_seconds % 60)) s after the builds), written by it. Compare figures within one
run; a shared machine makes times of different runs differ.

## Method

- **Maps**, generated by \`bench/MapGenerator.cpp\` without the library, the same bytes every run: current
  maps with N interfaces, each with its own interface template of 16 outputs holding one fixture, each
  fixture with its own fixture template of 4 nodes, one region per interface, laid out as the writer lays
  them out; a legacy map with N controllers, each followed by 9 lights on each of its 16 ports.
- **One process per run** of the driver \`bench/lumomap-bench MODE MAP\`. \`loadFromFile\` and
  \`loadFromText\` load into an empty model (loadFromText's text is read and decoded beforehand);
  \`save\` writes the model loaded from the map through a \`QTextStream\` on a \`QFile\`, flushed;
  \`saveToString\` saves into a \`QTextStream\` on a \`QString\`; \`sax\` is a bare \`QXmlSimpleReader\` pass
  with an empty \`QXmlDefaultHandler\`, \`stream\` a bare \`QXmlStreamReader\` pass, over the same file;
  \`writeJson\` writes the JSON form of the loaded model to a \`QFile\` (\`LumoMapJson::write\`), \`readJson\`
  reads that JSON file into an empty model (\`LumoMapJson::read\`), \`diff\` compares two models loaded from
  the map (\`LumoMapDiff::forEachDifference\`, legacy templates numbered from 0; no differences).
- **The tool**, \`lumomap\` of the same build, one process per run: \`convert\` of the map to a map file
  (XML -> XML), to its JSON form (XML -> JSON) and of that JSON form (written by the driver, the same bytes
  as the tool writes) back to a map file (JSON -> XML); \`info\`; \`diff\` of the map and a copy of it;
  \`patch -o\` to a CSV and to a JSON file. \`/usr/bin/time\` measures each $runs times: CPU time (user +
  system) and peak resident memory of the whole process, start-up included, medians of the runs.
  Each command is also set against the one it is held to, in the same revision: the convert commands
  against convert XML -> XML, diff and patch against info (CPU and peak memory, as multiples).
  Instructions: one \`valgrind --tool=callgrind\` run of the whole process (start-up included), per byte
  of the map file (the XML form, for every command, so that the commands compare).
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
  count is the operation's alone. Per byte: instructions / bytes read (loads, passes, readJson) or
  written (saves, writeJson); for diff, per byte of the one map.

## Machine and build

- CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | sed 's/^ //'), $(nproc) logical processors;
  memory: $(awk '/MemTotal/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
- system: $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r); load average at start
  $load_at_start, at end $(cut -d' ' -f1-3 /proc/loadavg)
- Qt $(dpkg-query -W -f='${Version}' "$([ "$qt_major" = 5 ] && echo libqt5core5a || echo libqt6core6)" 2>/dev/null),
  $(c++ --version | head -1), Release build; commit $(git rev-parse --short HEAD)$(git diff --quiet HEAD -- \
  include model persistence bench || echo ' with uncommitted changes')

## Maps

| map | generated as | bytes | bytes of its JSON form | model held after loadFromFile (KiB) |
|---|---|---:|---:|---:|
$(join "${rows_maps[@]}")

## Instructions per byte (callgrind; total in brackets)

| map | loadFromFile | loadFromText | sax | stream | save | saveToString | writeJson | readJson | diff |
|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|
$(join "${rows_instr[@]}")
$([ ${#drivers[@]} = 1 ] || { printf '\nThe saves, the JSON form and the diff at the baseline revision %s, in this run:\n\n%s\n%s\n' \
    "$(git rev-parse --short "$BENCH_BASELINE")" "| map | loadFromFile | loadFromText | sax | stream | save | saveToString | writeJson | readJson | diff |" \
    "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|"; join "${rows_baseline[@]}"; })

## Time and memory (medians of $runs runs; the operation alone unless said)

| map | operation | wall ms | CPU ms | MB/s | peak MiB | held MiB | peak − held MiB | whole process ms (hyperfine) |
|---|---|---:|---:|---:|---:|---:|---:|---:|
$(join "${rows_time[@]}")

## The tool (whole process: medians of $runs runs; instructions of one run)

"× reference": CPU time and peak memory as multiples of those of the command it is held against (convert
XML -> XML for the convert commands, info for diff and patch), in the same revision.
$([ ${#tools[@]} = 1 ] && printf '\n%s\n%s\n' \
    "| map | command | CPU s | peak MiB | × reference (CPU / peak) | instructions per map byte (total) |" \
    "|---|---|---:|---:|---:|---:|" || printf '\nThis revision, then the baseline revision %s:\n\n%s\n%s\n' \
    "$(git rev-parse --short "$BENCH_BASELINE")" \
    "| map | command | CPU s | peak MiB | × reference (CPU / peak) | instructions per map byte (total) | baseline CPU s | baseline peak MiB | baseline × reference | baseline instructions per map byte (total) |" \
    "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|")
$(join "${rows_tool[@]}")
$([ ${#rows_output[@]} = 0 ] || printf '\n## Frames and sending (large map)\n\n%s\n%s\n' \
    "| operation | instructions per channel (total) | packets sent | CPU | CPU per packet |" "|---|---:|---:|---:|---:|"
  [ ${#rows_output[@]} = 0 ] || join "${rows_output[@]}")
TEXT
} > "$report"
echo "bench.sh: wrote $report" >&2
