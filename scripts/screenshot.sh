#!/usr/bin/env bash
# Takes the screenshot of the viewer shown in the README (docs/viewer.png): the largest
# sample opened through File, Open under Xvfb, with the textures window beside it.
# Needs a build (scripts/build.sh) and xvfb, xauth, xdotool and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p docs
tests/gui/xvfb_viewer_test.sh build/bin samples/data --screenshot docs/viewer.png
