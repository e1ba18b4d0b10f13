#!/usr/bin/env bash
# scripts/build.sh DIR [cmake options...]: configures and builds everything into DIR/bin.
set -euo pipefail
dir=$1
shift
cmake -S "$(dirname "$0")/.." -B "$dir" "$@" >/dev/null
cmake --build "$dir" -j2
