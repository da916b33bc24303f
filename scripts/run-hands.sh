#!/usr/bin/env bash
# Builds and runs the long "learner's hands" run: 300 commands of a
# learner's hands on the real viewer (the four windows' buttons and keys,
# the contents page's links to the finder windows, list choices, Back, Esc,
# resizing, the window manager's maximise and restore, 0.3 to 3 s apart)
# under openbox and under xfwm4, each judged after every settle.
#   TAMBERLYN_HANDS_COMMANDS  commands per window manager (300)
#   TAMBERLYN_HANDS_SEED      repeats a run (the seed is printed)
#   TAMBERLYN_HANDS_WM        openbox or xfwm4 only
#   TAMBERLYN_HANDS_VIEWER    another build's viewer, to compare
# About 15 minutes per window manager.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/build.sh" dev tst_hands_e2e

cd "$here/.."
export TAMBERLYN_HANDS_COMMANDS="${TAMBERLYN_HANDS_COMMANDS:-300}"
# The browser engine's sandbox cannot run as root.
if [ "$(id -u)" -eq 0 ]; then
    export QTWEBENGINE_DISABLE_SANDBOX=1
fi

# Run directly rather than through ctest, whose time limit is set for the
# short run; the test starts its own X servers and window managers.
exec build/dev/bin/tst_hands_e2e
