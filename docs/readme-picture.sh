#!/usr/bin/env bash
# Draws the README's picture, the response of the four filter types at Cutoff 0.5, with the qr47
# given (build/qr47 by default) into the file given (docs/demo-response.png by default). CI draws
# it into the build folder and compares, so the picture always shows what the code draws.
set -euo pipefail
cd "$(dirname "$0")/.."
"${1:-build/qr47}" -q response "${2:-docs/demo-response.png}" --set cutoff=0.5 --compare types
