#!/usr/bin/env bash
# The layer check passes on the project and fails on each kind of fault,
# planted one at a time in a copy of a few folders.
set -u
root="$1"
check="$root/scripts/check-layers"
python3 "$check" "$root" || { echo "the project itself fails the check"; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
expect_refused() {  # folder file line
    rm -rf "$scratch/tree" && mkdir -p "$scratch/tree/$1"
    printf '%s\n' "$3" > "$scratch/tree/$1/$2"
    if python3 "$check" "$scratch/tree" 2>/dev/null; then
        echo "not refused: $1/$2: $3"
        failures=$((failures + 1))
    fi
}
expect_accepted() {
    rm -rf "$scratch/tree" && mkdir -p "$scratch/tree/$1"
    printf '%s\n' "$3" > "$scratch/tree/$1/$2"
    if ! python3 "$check" "$scratch/tree"; then
        echo "refused: $1/$2: $3"
        failures=$((failures + 1))
    fi
}
expect_refused imaging Probe.cpp '#include "schemes/Scheme.h"'
expect_refused processing Run.cpp '#include "uikit/QtImage.h"'
expect_refused uikit Kit.cpp '#include "browser/RowReader.h"'
expect_refused viewer Viewer.cpp '#include "editor/EditorRequest.h"'
expect_refused editor Page.cpp '#include "manager/ManagerRequests.h"'
expect_refused browser Tree.cpp '#include "app/MainWindow.h"'
expect_refused cli Cli.cpp '#include "uikit/UserDialogs.h"'
expect_refused tests/browser ListTest.cpp '#include "app/WindowFixture.h"'
expect_refused processing Run.cpp '    vips_concurrency_set(1);'
expect_refused schemes Store.cpp '#include <QString>'
expect_refused common Text.cpp '#include <QtCore/QString>'
expect_refused viewer Viewer.cpp '#include "../app/MainWindow.h"'
expect_refused uikit Kit.cpp '#include <browser/RowReader.h>'
expect_refused browser Rows.cpp '    vips::VImage image = vips::VImage::new_from_file(path);'
expect_refused processing Run.h '#include <vips/vips8>'
expect_accepted manager Manager.cpp '#include "editor/EditorRequest.h"'
expect_accepted imaging Box.cpp '    vips_error_clear();'
expect_accepted app Main.cpp '#include "manager/ManagerRequests.h"'
exit $((failures > 0))
