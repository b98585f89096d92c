#!/usr/bin/env bash
# Builds every program and test with AddressSanitizer and UndefinedBehavior-
# Sanitizer into build-asan/ (or $LEXIVO_ASAN_BUILD_DIR) and runs every test;
# any memory error, leak of the program's own or undefined behaviour fails the
# test it happens in. Takes about 25 minutes on two cores.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
build="${LEXIVO_ASAN_BUILD_DIR:-$root/build-asan}"
flags="-O1 -fsanitize=address,undefined -fno-omit-frame-pointer"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
# libgettextpo keeps a few of its own allocations until the process ends.
printf 'leak:libgettextpo\n' >lsan.supp
ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS="suppressions=$build/lsan.supp" \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 QT_QPA_PLATFORM=offscreen \
  ctest --output-on-failure -j"$(nproc)" --timeout 600
