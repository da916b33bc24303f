#!/usr/bin/env bash
# Installs the build the way the package does (prefix /usr, under a scratch
# DESTDIR) and checks what lands: the programs and nothing else in bin, the
# demo course and its word index in the data folder the viewer and
# tamberlyn-demo reach from bin, desktop files that fit together, and the
# manual pages, copyright file and changelog.
#
# Usage: check-install-tree.sh BUILD_DIR PROJECT_VERSION DATA_FROM_PROGRAM
set -euo pipefail
build="$1" version="$2" data_from_program="$3"
root="$(mktemp -d -t tamberlyn-install.XXXXXX)"
trap 'rm -rf "$root"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
usr="$root/usr"

# The four programs and the demo launcher; no tests, benchmarks, libraries
# or headers anywhere.
programs="$(cd "$usr/bin" && ls | tr '\n' ' ')"
[ "$programs" = "tamberlyn tamberlyn-course-server tamberlyn-demo tamberlyn-index tamberlyn-simulator " ] \
    || fail "bin holds: $programs"
for program in "$usr"/bin/*; do
    [ -x "$program" ] || fail "$program cannot be run"
done
stray="$(find "$root" \( -name '*.a' -o -name '*.so*' -o -name '*.h' -o -name 'tst_*' -o -name 'bench_*' \) -print)"
[ -z "$stray" ] || fail "installed but not part of the program: $stray"

# The data folder as the viewer finds it from its own folder.
data="$usr/bin/$data_from_program"
[ -d "$data" ] || fail "no data folder at bin/$data_from_program"
"$usr/bin/tamberlyn-index" check "$data" || fail "the installed word index does not check"
diff -r "$build/course/demo/site" "$data/demo-course" >/dev/null || fail "the installed demo course is not the built one"
grep -qE '@[A-Z_]+@' "$usr/bin/tamberlyn-demo" && fail "tamberlyn-demo has a placeholder left"
bash -n "$usr/bin/tamberlyn-demo" || fail "tamberlyn-demo does not parse"

# The menu entry, the metainfo and the icon as a software centre sees them:
# the desktop id the metainfo launches and the icon the entry names must
# both be there.
appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree"
metainfo="$usr/share/metainfo/org.marrowick.Tamberlyn.metainfo.xml"
newest="$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)"
[ "$newest" = "$version" ] || fail "the metainfo's newest release is $newest, the project is $version"
icon="$(sed -n 's/^Icon=//p' "$usr/share/applications/org.marrowick.Tamberlyn.desktop")"
[ -f "$usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon $icon in the hicolor theme"
# What Debian wants of every package: a manual page for each program, the
# copyright file, the changelog. The versions, dates and licences they name
# must agree with the metainfo's.
doc="$usr/share/doc/tamberlyn"
for program in "$usr"/bin/*; do
    page="$usr/share/man/man1/$(basename "$program").1.gz"
    gzip -t "$page" 2>/dev/null || fail "no manual page $page"
done
[ -f "$doc/copyright" ] || fail "no copyright file"
gzip -t "$doc/changelog.Debian.gz" 2>/dev/null || fail "no changelog.Debian.gz"
entry="$(zcat "$doc/changelog.Debian.gz" | sed -n 1p)"
[[ "$entry" == "tamberlyn ($version-"* ]] || fail "the changelog's newest entry is not for $version: $entry"
released="$(zcat "$doc/changelog.Debian.gz" | sed -n 's/^ -- .*>  \(.*\)$/\1/p' | sed -n 1p)"
newest_date="$(sed -n 's/.*<release version="[^"]*" date="\([^"]*\)".*/\1/p' "$metainfo" | head -n 1)"
[ "$(date -u -d "$released" +%F)" = "$newest_date" ] \
    || fail "the changelog's newest entry is of $released, the metainfo's release of $newest_date"
project_license="$(sed -n 's:.*<project_license>\(.*\)</project_license>.*:\1:p' "$metainfo")"
code_license="$(awk '/^Files: \*$/ { found = 1 } found && /^License:/ { print $2; exit }' "$doc/copyright")"
[ -n "$project_license" ] && [ "$project_license" = "$code_license" ] \
    || fail "the metainfo's project licence is '$project_license', the copyright file's '$code_license'"
echo "install tree as expected"
