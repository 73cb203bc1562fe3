#!/usr/bin/env bash
# The README's test command and what CI runs. Installs the dependencies, then:
#   1. Qt 6 build (g++), every test including the slow ones, and the HTML reference (docs target,
#      which fails on any Doxygen warning);
#   2. the Debian packages (scripts/package.sh): lintian without an error, then installed, used by
#      the install test's consumer through find_package and pkg-config, and removed again;
#   3. the ABI check of the package build's libraries (tests off, as shipped) against abi/
#      (scripts/abi-check.sh), which costs no build of its own;
#   4. Qt 5.15 build (g++), every test but the slow ones and the receivers' (label network);
#   5. clang build with the address, undefined-behaviour and leak sanitizers and the libFuzzer
#      targets: every test including the slow ones but the receivers' (what the senders put on the
#      wire is the same bytes in every build; their memory is checked by tst_frames and fuzz_frame),
#      then each fuzz target over the committed seeds;
#   6. clang build with the thread sanitizer: the threads test.
# The tests of a build run two at a time (the machine has two cores; the receiver tests share olad
# through a resource lock). Every build treats warnings as errors. The last line is "N passed, M
# failed, K skipped", counted from the ctest results (one per test), the fuzz runs (one per target),
# the reference, the ABI check and the packages (built, lintian, installed and used); a failed build
# counts as a failure, and a test that skipped itself (the browser tests where chromium or node is
# missing) counts as skipped. The exit status is non-zero when anything failed.
#
# Environment: LUMOMAP_FUZZ_SECONDS (default 35) is the time per fuzz target;
# LUMOMAP_CI_BUILD_PREFIX (default build/ci) is the prefix of the build directories.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/install-deps.sh || { echo "install-deps failed"; echo "0 passed, 1 failed"; exit 1; }

prefix=${LUMOMAP_CI_BUILD_PREFIX:-build/ci}
fuzz_seconds=${LUMOMAP_FUZZ_SECONDS:-35}
passed=0
failed=0
skipped=0
failures=()
script_start=$SECONDS

stage_start() {
    stage_clock=$SECONDS
    echo
    echo "=== $1"
}

stage_end() {
    echo "=== $1 took $((SECONDS - stage_clock)) s"
}

fail_item() {
    failed=$((failed + 1))
    failures+=("$1")
}

build() {
    local build_dir=$1
    shift
    if ! scripts/build.sh "$build_dir" -DLUMOMAP_WARNINGS_AS_ERRORS=ON "$@"; then
        fail_item "build $build_dir"
        return 1
    fi
}

# Runs ctest with the given arguments and adds its counts to the totals.
run_ctest() {
    local build_dir=$1
    shift
    local log="$build_dir/ctest-summary.log"
    env "${ctest_env[@]}" ctest --test-dir "$build_dir" --output-on-failure "$@" 2>&1 | tee "$log"
    local summary
    summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
    if [ -z "$summary" ]; then
        fail_item "ctest in $build_dir ran no test"
        return
    fi
    local total bad skips
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
    bad=$(sed -E 's/.* ([0-9]+) tests? failed.*/\1/' <<<"$summary")
    # ctest counts a skipped test (exit code 77: the browser tests without chromium or node) as passed.
    skips=$(grep -cE '^[[:space:]]+[0-9]+ - .* \(Skipped\)$' "$log" || true)
    skipped=$((skipped + skips))
    passed=$((passed + total - bad - skips))
    if [ "$bad" -gt 0 ]; then
        failed=$((failed + bad))
        failures+=("$bad test(s) in $build_dir")
    fi
}

export QT_QPA_PLATFORM=offscreen
# Extra environment of the ctest runs of the current stage.
ctest_env=()
sanitizer_env=(
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
)

stage_start "Qt 6 build and tests (including slow)"
if build "$prefix-qt6" -DLUMOMAP_QT_MAJOR=6; then
    run_ctest "$prefix-qt6" --timeout 900 --parallel 2
fi
stage_end "Qt 6"

stage_start "HTML reference (Doxygen, no warning allowed)"
if cmake --build "$prefix-qt6" --target docs; then
    passed=$((passed + 1))
else
    fail_item "docs target in $prefix-qt6"
fi
stage_end "HTML reference"

stage_start "Debian packages: build, lintian, install, consumer"
debs_dir=$root/$prefix-debs
if scripts/package.sh "$debs_dir" "$prefix-package" -DLUMOMAP_WARNINGS_AS_ERRORS=ON; then
    passed=$((passed + 1))
    if lintian --fail-on error "$debs_dir"/*.deb; then
        passed=$((passed + 1))
    else
        fail_item "lintian reports errors in $debs_dir"
    fi
    version=$(dpkg-deb -f "$debs_dir"/liblumomap-dev_*.deb Version)
    packages=$(for deb in "$debs_dir"/*.deb; do dpkg-deb -f "$deb" Package; done)
    if DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$debs_dir"/*.deb && lumomap --version \
        && cmake -DWORK_DIR="$root/$prefix-debs-consumer" -DCONSUMER_DIR="$root/tests/install/consumer" \
            -DVERSION="${version%-*}" -DCXX_COMPILER=g++ -DGENERATOR=Ninja -P tests/install/InstallAndConsume.cmake; then
        passed=$((passed + 1))
    else
        fail_item "installing $debs_dir or building the consumer against the packages"
    fi
    # The later builds must not see the packaged headers and libraries.
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q $packages >/dev/null
else
    fail_item "scripts/package.sh $debs_dir"
fi
stage_end "Debian packages"

stage_start "ABI check of the package build's libraries against abi/"
if scripts/abi-check.sh "$prefix-package"; then
    passed=$((passed + 1))
else
    fail_item "ABI check of $prefix-package (scripts/abi-check.sh)"
fi
stage_end "ABI check"

stage_start "Qt 5.15 build and tests"
if build "$prefix-qt5" -DLUMOMAP_QT_MAJOR=5; then
    run_ctest "$prefix-qt5" --timeout 900 --parallel 2 -LE 'slow|network'
fi
stage_end "Qt 5.15"

stage_start "address/undefined/leak sanitizer build: tests and fuzz targets"
asan_dir=$prefix-asan
if build "$asan_dir" -DCMAKE_CXX_COMPILER=clang++ -DLUMOMAP_SANITIZE=ON -DLUMOMAP_BUILD_FUZZ=ON; then
    ctest_env=("${sanitizer_env[@]}")
    run_ctest "$asan_dir" --timeout 900 --parallel 2 -LE network
    ctest_env=()
    stage_end "sanitizer tests"

    total_runs=0
    for target in $(tr ';' ' ' <"$asan_dir/fuzz/targets.txt"); do
        stage_start "fuzz $target for $fuzz_seconds s"
        corpus="$asan_dir/fuzz-corpus/$target"
        artifacts="$asan_dir/fuzz-artifacts"
        rm -rf "$corpus"
        mkdir -p "$corpus" "$artifacts"
        # Inputs that once failed are replayed first.
        cp tests/data/regression-* "$corpus"/ 2>/dev/null || true
        log="$asan_dir/fuzz-$target.log"
        env "${sanitizer_env[@]}" "$asan_dir/fuzz/$target" \
            -dict="$asan_dir/fuzz/lumomap.dict" -max_total_time="$fuzz_seconds" -timeout=25 \
            -rss_limit_mb=4096 -max_len=65536 -print_final_stats=1 \
            -artifact_prefix="$artifacts/$target-" "$corpus" fuzz/corpus >"$log" 2>&1
        status=$?
        runs=$(grep -E '^stat::number_of_executed_units:' "$log" | awk '{print $2}')
        grep -E '^#[0-9]+ +(INITED|DONE)' "$log" | tail -n 2
        if [ $status -eq 0 ] && [ -n "$runs" ]; then
            passed=$((passed + 1))
            total_runs=$((total_runs + runs))
            echo "fuzz $target: $runs executions, no finding"
        else
            tail -n 60 "$log"
            fail_item "fuzz $target (exit $status; log $log, inputs ${artifacts}/$target-*)"
        fi
        stage_end "fuzz $target"
    done
    echo "fuzzing: $total_runs executions in total"
fi

stage_start "thread sanitizer build: threads test"
tsan_dir=$prefix-tsan
if cmake -S . -B "$tsan_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
        -DLUMOMAP_WARNINGS_AS_ERRORS=ON -DLUMOMAP_SANITIZE_THREAD=ON -DLUMOMAP_BUILD_TOOLS=OFF \
        -DLUMOMAP_BUILD_EXAMPLES=OFF && cmake --build "$tsan_dir" --parallel "$(nproc)" --target tst_threads; then
    ctest_env=("TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:suppressions=$root/tests/threads/tsan.supp")
    run_ctest "$tsan_dir" --timeout 900 -R '^tst_threads$'
    ctest_env=()
else
    fail_item "build $tsan_dir"
fi
stage_end "thread sanitizer"

echo
echo "CI took $((SECONDS - script_start)) s"
for failure in "${failures[@]}"; do
    echo "FAILED: $failure"
done
echo "$passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
