#!/usr/bin/env bash
# Installs what is missing, builds everything with warnings as errors and
# runs every test (window tests on Qt's offscreen platform).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" -DLEXIVO_WERROR=ON
cd "${LEXIVO_BUILD_DIR:-$root/build}"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"
