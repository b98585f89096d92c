#!/usr/bin/env bash
# Installs what is missing, builds Lexivo and opens it on the bundled sample
# game in the demo workspace demo/ (created on the first run, kept afterwards:
# translations made in it survive the next run).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" --window
"$root/scripts/build.sh"
build="${LEXIVO_BUILD_DIR:-$root/build}"
demo="$root/demo"

if [ ! -f "$demo/LEXIVO.INI" ]; then
    mkdir -p "$demo/workspace"
    "$build/tools/lexivo-samplegame" "$demo/game"
    printf '[DIRECTORY]\r\nEDITOR=workspace/\r\nU7=game/\r\n[USER]\r\nID=1\r\nNAME=Demo\r\n' \
        >"$demo/LEXIVO.INI"
fi
# The program keeps LEXIVO.INI and Help/ beside itself: run a copy from demo/.
cp "$build/app/lexivo" "$demo/lexivo"
mkdir -p "$demo/Help"
cp -r "$root/resources/help/." "$demo/Help/" 2>/dev/null || true
exec "$demo/lexivo"
