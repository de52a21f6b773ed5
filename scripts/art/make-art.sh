#!/usr/bin/env bash
# Rebuilds ui/resources/*.png from make_art.cpp.
set -euo pipefail
cd "$(dirname "$0")/../.."
tmp=$(mktemp -d)
g++ -std=c++20 -fPIC scripts/art/make_art.cpp -o "$tmp/make_art" $(pkg-config --cflags --libs Qt6Widgets)
QT_QPA_PLATFORM=offscreen "$tmp/make_art" ui/resources
rm -rf "$tmp"
