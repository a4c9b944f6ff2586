#!/usr/bin/env bash
# Set-up, build, and start the viewer. Where there is no display, says so and shows the
# main job headlessly with plovant-cli on the bundled samples instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh

bin=build/bin
# Before the first start, point the data folder at the bundled samples so that
# File, Open starts among them. An existing settings file is left alone.
if [ ! -e "$bin/dovekit.ini" ]; then
    printf '%s\r\n' "$PWD/samples/data" > "$bin/dovekit.ini"
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$bin/plovant"
fi

echo "No display found: showing the main job headlessly with plovant-cli on the samples."
out=build/samples-out
mkdir -p "$out"
for f in samples/data/*.rsm; do
    [ -e "$f" ] || continue
    name=$(basename "$f" .rsm)
    echo
    echo "== $f"
    "$bin/plovant-cli" info "$f"
    "$bin/plovant-cli" convert "$f" -o "$out/$name.3ds"
    "$bin/plovant-cli" render "$f" --data samples/data -o "$out/$name.png"
    "$bin/plovant-cli" export "$f" --data samples/data -o "$out/$name.glb"
    echo "wrote $out/$name.3ds, $out/$name.png and $out/$name.glb"
done
