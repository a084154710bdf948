#!/usr/bin/env bash
# Draws the README's picture of the editor, with the picture program of the build given
# (build/tests/qr47_editor_picture by default) into the file given (docs/editor.png by default),
# on the display DISPLAY names, or on a virtual one of its own when none is set. CI draws it into
# the build folder and compares, so the picture always shows what the code draws.
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/tests/qr47_editor_picture}
picture=${2:-docs/editor.png}
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$program" "$picture"
fi
"$program" "$picture"
