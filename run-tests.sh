#!/usr/bin/env bash
# Sets up what is missing, then builds and runs every test twice: in a normal build and in an
# AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh

scripts/build.sh build
ctest --test-dir build --output-on-failure -j2

scripts/build.sh build-asan -DKPL_SANITIZE=ON -DKPL_BUILD_BENCH=OFF
ASAN_OPTIONS=allocator_may_return_null=1:detect_leaks=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j2
