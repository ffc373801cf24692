#!/usr/bin/env bash
# Renews the README's pictures in docs/ from the real program: builds it, walks the
# operator's road under Xvfb (tests/e2e/road.sh, real input events on the demo data) and
# keeps three of the road's screenshots: the catalogue with a group and a position's
# offers, the basket with its comparison, and the order list.
#
#   scripts/screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
bash scripts/setup.sh
cmake -S . -B "$build" -G Ninja > /dev/null
cmake --build "$build" --target zelvorin zelvorin-demo-gen
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
bash tests/e2e/road.sh "$build" "$out"
# The last shot of each kind: the road's numbering may change, the names stay.
last() { ls "$out"/[0-9]*-"$1".png | tail -1; }
mkdir -p docs
cp "$(last basket-full)" docs/catalogue.png
cp "$(last order-saved)" docs/basket.png
cp "$(last order-list)" docs/order-list.png
echo "docs/catalogue.png, docs/basket.png and docs/order-list.png renewed"
