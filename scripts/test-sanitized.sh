#!/usr/bin/env bash
# Builds the test suite (and the program and driver library it runs) with AddressSanitizer and
# UndefinedBehaviorSanitizer into build-asan/ and runs it with leak detection on. The first
# report of any kind fails the test that made it.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ASAN_BUILD_DIR:-$root/build-asan}"
"$root/scripts/setup.sh"
# Set before the build too: listing the tests after the link runs the instrumented binary.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
BUILD_DIR="$build" BUILD_TARGET=vx_tests "$root/scripts/build.sh" -DBUILD_TESTING=ON -DVX_SANITIZE=ON
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel "$(nproc)" --timeout 300
