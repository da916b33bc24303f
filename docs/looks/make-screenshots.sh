#!/bin/sh
# Makes the screenshots of the looks in this folder: for each look, the
# contents page, the quit question, the Search window with its suggestions
# for a word it cannot find and with results, a content page opened from
# them (the searched words marked), the notice of a video that cannot be
# played, the message in a page's place when it cannot be loaded, and the
# message when the course cannot be reached. The real viewer and course
# server of a build (build/dev unless BUILD says otherwise) run on a private
# X server with openbox, the server on a copy of the demo course without the
# title video and the page kq010004:
#
#   xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" docs/looks/make-screenshots.sh
#
# Needs xdotool and ImageMagick's import.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD:-$here/../../build/dev}
work=$(mktemp -d)
server= wm= viewer=
trap 'kill $server $wm $viewer 2>/dev/null || true; rm -rf "$work"' EXIT

cp -r "$build/course/demo/site" "$work/site"
rm "$work/site/kq_cbt/kq/kq010004.vxp" "$work/site/kq_cbt/kq/kq/title.avi"
"$build/bin/tamberlyn-course-server" --root "$work/site" --port 0 --cert-dir "$work/cert" \
    >"$work/server.log" 2>&1 &
server=$!
openbox >/dev/null 2>&1 &
wm=$!
for _ in $(seq 50); do grep -q listening "$work/server.log" && break; sleep 0.2; done
port=$(sed -n 's|.*listening on https://127.0.0.1:\([0-9]*\)/.*|\1|p' "$work/server.log")
pin=$(sed -n 's/.*fingerprint: \([0-9A-F:]*\).*/\1/p' "$work/server.log")

export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
export QT_LOGGING_RULES="tamberlyn.*.info=true"

wait_for() { # LOG TEXT
    for _ in $(seq 300); do grep -q "$2" "$1" && return 0; sleep 0.2; done
    echo "no \"$2\" in $1" >&2
    return 1
}

window() { # TITLE
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.2
    done
    return 1
}

shot() { # NAME: the whole screen, once the engine has painted
    sleep 1.5
    import -window root "$here/$1.png"
}

for look in light dark contrast; do
    mkdir -p "$work/$look/data" "$work/$look/config"
    log="$work/$look/viewer.log"
    XDG_DATA_HOME="$work/$look/data" XDG_CONFIG_HOME="$work/$look/config" TAMBERLYN_LOOK=$look \
    TAMBERLYN_COURSE_HOST=127.0.0.1:$port TAMBERLYN_COURSE_PIN=$pin \
        "$build/bin/tamberlyn" >"$log" 2>&1 &
    viewer=$!
    wait_for "$log" "document complete: .*kqd.vxp"
    main=$(window '^Tamberlyn')
    xdotool windowactivate --sync "$main"
    shot "$look-contents"

    xdotool key alt+q
    question=$(window '^Tamberlyn$' || true)
    shot "$look-message"
    xdotool key n

    xdotool windowactivate --sync "$main" key alt+s
    wait_for "$log" "document complete: .*search.vxp"
    search=$(window 'Tamberlyn - Search')
    xdotool windowactivate --sync "$search" type --delay 60 cabel
    xdotool key Return
    wait_for "$log" "search cabel suggests"
    shot "$look-search-suggestions"
    # Tab past the Search button to the best suggestion, and take it.
    xdotool key Tab Tab Return
    wait_for "$log" "search cable found"
    shot "$look-search"
    xdotool key Home Down Return
    wait_for "$log" "search words \"cable\" shown"
    shot "$look-content"
    kill $viewer
    wait $viewer 2>/dev/null || true

    # The notice of a video that cannot be played (<< on the contents page
    # is the title video), then the message in the place of a page that
    # cannot be loaded (>> from kq010003).
    XDG_DATA_HOME="$work/$look/data" XDG_CONFIG_HOME="$work/$look/config" TAMBERLYN_LOOK=$look \
    TAMBERLYN_COURSE_HOST=127.0.0.1:$port TAMBERLYN_COURSE_PIN=$pin \
        "$build/bin/tamberlyn" >"$log.failures" 2>&1 &
    viewer=$!
    wait_for "$log.failures" "document complete: .*kqd.vxp"
    main=$(window '^Tamberlyn')
    xdotool windowactivate --sync "$main" key alt+comma
    wait_for "$log.failures" "media failure shown"
    shot "$look-notice"
    for page in mod01d obj01d kq010003; do
        xdotool windowactivate --sync "$main" key alt+period
        wait_for "$log.failures" "navigation: page $page.vxp"
    done
    xdotool windowactivate --sync "$main" key alt+period
    wait_for "$log.failures" "load failure shown"
    shot "$look-failure"
    kill $viewer
    wait $viewer 2>/dev/null || true

    # The message when the course cannot be reached: nobody on port 9.
    XDG_DATA_HOME="$work/$look/data" XDG_CONFIG_HOME="$work/$look/config" TAMBERLYN_LOOK=$look \
    TAMBERLYN_COURSE_HOST=127.0.0.1:9 \
        "$build/bin/tamberlyn" >"$log.unreachable" 2>&1 &
    viewer=$!
    wait_for "$log.unreachable" "first page failure shown"
    shot "$look-first-page-message"
    kill $viewer
    wait $viewer 2>/dev/null || true
done
echo "screenshots in $here"
