#!/usr/bin/env bash
# Configures and builds Lexivo into build/ (or $LEXIVO_BUILD_DIR).
# Extra arguments go to the configure step.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${LEXIVO_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
