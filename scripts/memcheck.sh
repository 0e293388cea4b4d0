#!/usr/bin/env bash
# Runs the data core's tests and vastrelle-cli on the fixtures under valgrind's memcheck: any
# invalid access, use of uninitialised memory, or definite or indirect leak fails. Expects the
# normal build in build/ (scripts/test.sh makes it). The kill test is left out: its writer is
# killed on purpose, and it already runs in every other test pass.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
data=tests/data
log=$build/memcheck
rm -rf "$log" && mkdir -p "$log"
memcheck=(valgrind --tool=memcheck --error-exitcode=99 --leak-check=full
    --show-leak-kinds=definite,indirect --errors-for-leak-kinds=definite,indirect
    --track-origins=yes --quiet)

status=0
run() {
    local name=$1
    shift
    if "${memcheck[@]}" --log-file="$log/$name.%p.log" "$@" >"$log/$name.out" 2>&1; then
        echo "memcheck $name: clean"
    else
        echo "memcheck $name: FAILED (exit $?)"
        cat "$log/$name".*.log "$log/$name.out" | tail -n 60
        status=1
    fi
}

# The data tests, the command-line tool and the thumbnail test (the longest alone) run side by
# side, to keep two cores busy.
data_tests() {
    local status=0
    for test in CommonTest Cp932Test CardListTest IniFileTest SettingsTest CardTypesTest \
        CardImagesTest WriteFaultTest HostileInputTest MigrateTest TemplatePicturesTest \
        ProgressTest; do
        run "$test" "$build/tests/$test"
    done
    run ChecklistImportTest "$build/tests/ChecklistImportTest"
    # The gigabyte line and the million rows take minutes under memcheck; the fuzz replay covers
    # the same code on small inputs.
    run ChecklistReaderTest "$build/tests/ChecklistReaderTest" --gtest_filter=-*Gigabyte*:*Million*
    return $status
}

thumbnail_test() {
    local status=0
    run ThumbnailTest "$build/tests/ThumbnailTest"
    return $status
}

command_line() {
    local status=0
    local cli=$build/cli/vastrelle-cli
    for fixture in "$data"/cardlist/*.dat; do
        mkdir -p "$work/type/image"
        cp "$fixture" "$work/type/cardlist.dat"
        for command in cards status missing export progress; do
            run "cli-$command-$(basename "$fixture" .dat)" "$cli" "$command" "$work/type"
        done
    done
    cp "$data"/images/*.jpg "$work/type/image/"
    for picture in "$data"/images/*.jpg; do
        # A file that is not a picture must fail cleanly too, so the exit code is not checked.
        "${memcheck[@]}" --log-file="$log/cli-thumbnails.%p.log" "$cli" thumbnails "$work/type/image" \
            "$(basename "$picture")" >/dev/null 2>&1 || [[ $? -ne 99 ]] || status=1
    done
    "${memcheck[@]}" --log-file="$log/cli-check.%p.log" "$cli" check "$work/type" --repair \
        >/dev/null 2>&1 || [[ $? -ne 99 ]] || status=1
    run cli-import "$cli" import "$work" imported "$data/templates/mixed.template"
    run cli-create "$cli" create "$work" created
    run cli-types "$cli" types "$work"
    cp "$data/settings/edited.ini" "$work/setting.ini"
    run cli-settings "$cli" settings "$work"
    return $status
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
jobs=()
data_tests &
jobs+=($!)
command_line &
jobs+=($!)
thumbnail_test &
jobs+=($!)
for job in "${jobs[@]}"; do
    wait "$job" || status=1
done
if grep -l "ERROR SUMMARY: [1-9]\|definitely lost: [1-9]\|indirectly lost: [1-9]" "$log"/*.log; then
    status=1
fi
exit $status
