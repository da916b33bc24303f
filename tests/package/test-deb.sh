#!/usr/bin/env bash
# Checks the Debian package with lintian, Debian's own package checker (any
# error or warning fails), installs it with apt (so its declared
# dependencies resolve), reads the installed manual pages as man finds them
# and holds every page to its program's --help, then runs what it installed
# as a learner would: tamberlyn-demo
# starts the installed course server on the installed demo course and the
# installed viewer on it, under a private X server. Passes when the viewer
# shows the contents page, its Search window finds in the installed word
# index what tamberlyn-index finds there, and the course server stops when
# the viewer ends.
#
# Usage: tests/package/test-deb.sh [--keep] [PACKAGE.deb]
#   PACKAGE.deb  default: the newest build/release/tamberlyn_*.deb
#   --keep       leave the package installed
# The package is purged at the end unless it was installed before the test
# (it then stays installed, as the tested build) or --keep is given.
# Needs root or password-less sudo; without either it says so and skips.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"

keep=no
if [ "${1:-}" = "--keep" ]; then
    keep=yes
    shift
fi
deb="${1:-}"
if [ -z "$deb" ]; then
    deb="$(ls -t "$repo"/build/release/tamberlyn_*.deb 2>/dev/null | head -n 1 || true)"
fi
if [ -z "$deb" ] || [ ! -f "$deb" ]; then
    echo "test-deb: no package to test; make one with scripts/build-deb.sh" >&2
    exit 1
fi
deb="$(readlink -f "$deb")"

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
        as_root=(sudo -n env DEBIAN_FRONTEND=noninteractive)
    else
        echo "test-deb: SKIPPED: installing the package needs root or password-less sudo"
        exit 0
    fi
fi

for tool in xvfb-run openbox xdotool xprop lintian man lexgrog python3; do
    command -v "$tool" >/dev/null 2>&1 || { echo "test-deb: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

# Windows are raised and typed into through the window manager, on a
# display of our own even when there is one already.
if [ -z "${TAMBERLYN_TEST_DEB_DISPLAY:-}" ]; then
    args=("$deb")
    [ "$keep" = yes ] && args=(--keep "$deb")
    TAMBERLYN_TEST_DEB_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$0" "${args[@]}"
fi

echo "test-deb: $(dpkg-deb -f "$deb" Package Version Installed-Size | tr '\n' ' ')"
echo "test-deb: Depends: $(dpkg-deb -f "$deb" Depends)"

tmp="$(mktemp -d -t tamberlyn-test-deb.XXXXXX)"
# Not trapped yet: the package is not installed.
lint() {
    local started=$SECONDS
    if ! lintian --fail-on error,warning "$deb" >"$tmp/lintian.log" 2>&1 || grep -qE '^[EW]: ' "$tmp/lintian.log"; then
        cat "$tmp/lintian.log" >&2
        rm -rf "$tmp"
        echo "test-deb: FAIL: lintian finds errors or warnings in $deb" >&2
        exit 1
    fi
    echo "test-deb: lintian: no errors, no warnings ($((SECONDS - started)) s)"
}
lint
was_installed=no
if [ "$(dpkg-query -W -f='${Status}' tamberlyn 2>/dev/null || true)" = "install ok installed" ]; then
    was_installed=yes
fi

demo="" wm=""
finish() {
    status=$?
    set +e
    if [ -n "$demo" ]; then
        kill "$demo" 2>/dev/null
        wait "$demo" 2>/dev/null
    fi
    if [ -n "$wm" ]; then
        kill "$wm" 2>/dev/null
        wait "$wm" 2>/dev/null
    fi
    if [ $status -ne 0 ] && [ -f "$tmp/demo.log" ]; then
        echo "--- tamberlyn-demo's output (viewer lines) ---" >&2
        grep -E '^(tamberlyn|listening|certificate)' "$tmp/demo.log" >&2 || true
    fi
    rm -rf "$tmp"
    if [ "$keep" = no ] && [ "$was_installed" = no ]; then
        "${as_root[@]}" apt-get purge -y -q tamberlyn >/dev/null || true
    fi
    exit $status
}
trap finish EXIT

fail() {
    echo "test-deb: FAIL: $*" >&2
    exit 1
}

# --reinstall: the same version may be installed already, from an earlier build.
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get install -y -q --reinstall --no-install-recommends "$deb" >"$tmp/apt.log" 2>&1 \
    || { cat "$tmp/apt.log" >&2; fail "apt-get could not install $deb"; }
for file in /usr/bin/tamberlyn /usr/bin/tamberlyn-course-server /usr/bin/tamberlyn-demo \
            /usr/share/tamberlyn/words.vxp /usr/share/tamberlyn/files.vxp; do
    dpkg -L tamberlyn | grep -x "$file" >/dev/null || fail "the package did not install $file"
done

# The manual pages as an administrator reads them: found by name, each one
# with the sections a reader looks for, and each in step with its program.
version="$(dpkg-deb -f "$deb" Version)"
released="$(zcat /usr/share/doc/tamberlyn/changelog.Debian.gz | sed -n '1s/^tamberlyn (\([^)]*\)).*/\1/p')"
[ "$version" = "$released" ] || fail "the package is version $version, its changelog's newest entry $released"
for program in tamberlyn-index tamberlyn-course-server; do
    page="$(man -w "$program" 2>/dev/null)" || fail "man finds no page for $program (does a dpkg path-exclude drop /usr/share/man?)"
    [ "$page" = "/usr/share/man/man1/$program.1.gz" ] || fail "man finds $page for $program"
    MANWIDTH=80 man -l "$page" >"$tmp/$program.txt" 2>"$tmp/man.log" || { cat "$tmp/man.log" >&2; fail "man -l $page"; }
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES "SEE ALSO"; do
        grep -qx "$section" "$tmp/$program.txt" || fail "man -l $page shows no $section"
    done
    echo "test-deb: man $program: $(lexgrog "$page" | sed 's/^[^:]*: //'), $(wc -l <"$tmp/$program.txt") lines"
done
python3 "$here/check-manpages.py" "${version%-*}" /usr/share/man/man1 /usr/bin/tamberlyn \
    /usr/bin/tamberlyn-course-server /usr/bin/tamberlyn-demo /usr/bin/tamberlyn-index /usr/bin/tamberlyn-simulator \
    || fail "the installed manual pages are not in step with the installed programs"

# A learner of our own: settings, history, the instance lock and the course
# server's certificate live in here, away from the real user's.
export HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data"
export XDG_RUNTIME_DIR="$tmp/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
export QT_LOGGING_RULES="tamberlyn.*.info=true"

openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
wm=$!

# Waits up to $1 seconds for command $2... to succeed, while the demo runs.
wait_for() {
    local seconds="$1"
    shift
    for _ in $(seq $((seconds * 5))); do
        "$@" && return 0
        kill -0 "$demo" 2>/dev/null || return 1
        sleep 0.2
    done
    return 1
}
logged() { grep -qE "$1" "$tmp/demo.log"; }
# The id of the one visible window whose title matches $1, printed.
window() { xdotool search --onlyvisible --name "$1" 2>/dev/null | awk 'NR == 1' | grep .; }

/usr/bin/tamberlyn-demo >"$tmp/demo.log" 2>&1 &
demo=$!

# The engine's first start on a busy machine is slow.
wait_for 120 logged 'document complete: https://[^ ]*/kq_cbt/kq/kq[a-k]\.vxp$' \
    || fail "the installed viewer did not show the contents page"
echo "test-deb: $(grep -m 1 -E 'document complete' "$tmp/demo.log")"

# The word index lies only in the data folder (/usr/bin has none), so a
# search that finds the pages tamberlyn-index finds there shows the viewer
# found it.
word=inverter
expected="$(/usr/bin/tamberlyn-index search /usr/share/tamberlyn "$word" | sed -n 's/^Found: *\([0-9]*\) pages$/\1/p')"
[ -n "$expected" ] && [ "$expected" -gt 0 ] || fail "tamberlyn-index finds no \"$word\" in the installed index"

main="$(wait_for 30 window '^Tamberlyn( - Module [0-9]+)?$')" || fail "no course window"
# The menu entry claims the course window by its class.
wm_class="$(sed -n 's/^StartupWMClass=//p' /usr/share/applications/org.marrowick.Tamberlyn.desktop)"
xprop -id "$main" WM_CLASS | grep "\"$wm_class\"\$" >/dev/null || fail "the course window's class is not $wm_class: $(xprop -id "$main" WM_CLASS)"
# The Search button: third place on the button bar, 66 pixels apart.
xdotool mousemove --window "$main" $((3 + 66 * 2 + 32)) 11 click 1
search="$(wait_for 30 window '^Tamberlyn - Search$')" || fail "the Search window did not open"
xdotool windowactivate --sync "$search" type --delay 60 "$word"
xdotool key --delay 60 Return
wait_for 30 logged "tamberlyn\.finders: search $word found [0-9]+ pages" || fail "the search did not run"
found="$(sed -n "s/^tamberlyn\.finders: search $word found \([0-9]*\) pages$/\1/p" "$tmp/demo.log" | awk 'NR == 1')"
[ "$found" = "$expected" ] || fail "the Search window found $found pages for \"$word\", tamberlyn-index $expected"
echo "test-deb: the Search window found $found pages for \"$word\" in the installed index"

# Ending the viewer ends the demo, course server included.
viewer="$(ps -o pid=,comm= --ppid "$demo" | awk '$2 == "tamberlyn" { print $1 }')"
server="$(ps -o pid=,args= --ppid "$demo" | awk '$2 == "/usr/bin/tamberlyn-course-server" { print $1 }')"
[ -n "$viewer" ] && [ -n "$server" ] || fail "tamberlyn-demo runs no viewer and course server"
kill "$viewer"
for _ in $(seq 75); do
    kill -0 "$demo" 2>/dev/null || break
    sleep 0.2
done
kill -0 "$demo" 2>/dev/null && fail "tamberlyn-demo went on after the viewer ended"
wait "$demo" || true
demo=""
kill -0 "$server" 2>/dev/null && fail "the course server outlived the viewer"

echo "test-deb: passed"
