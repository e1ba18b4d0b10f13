#!/usr/bin/env bash
# Sets up what is missing, builds, and runs the demo on built-in material.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
scripts/build.sh build
build/bin/kplhost demo --out kpl-demo
