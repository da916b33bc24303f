#!/usr/bin/env bash
# Installs the build the way the package does (prefix /usr, under a scratch
# DESTDIR) and checks what lands: the programs and nothing else in bin, the
# demo course and its word index in the data folder the viewer and
# tamberlyn-demo reach from bin, and desktop files that fit together.
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
echo "install tree as expected"
