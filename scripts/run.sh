#!/usr/bin/env bash
# Set-up, build, and the main job: until the viewer exists, plovant-cli on the samples.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
out=build/samples-out
mkdir -p "$out"
for f in samples/data/*.rsm; do
    [ -e "$f" ] || continue
    build/bin/plovant-cli info "$f"
    build/bin/plovant-cli convert "$f" -d "$out"
done
