#!/usr/bin/env bash
# Installs what is missing, builds Lexivo and opens it on the bundled sample
# game in the demo workspace demo/ (created on the first run, kept afterwards:
# translations made in it survive the next run). The demo comes with a
# reference translation, so the translation memory proposes lines at once.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" --window
"$root/scripts/build.sh"
build="${LEXIVO_BUILD_DIR:-$root/build}"
demo="$root/demo"

if [ ! -f "$demo/LEXIVO.INI" ]; then
    mkdir -p "$demo/workspace"
    # The game, and an earlier team's translation of it (reference/usecode and
    # reference/ref.pak) for the translation memory.
    "$build/tools/lexivo-samplegame" --reference "$demo/reference" "$demo/game"
    # A few agreed terms in the reference's made-up language (u7.dic: term and
    # translation, one line each).
    printf '%s\r\n' Harrowmere Herruvvmiri goose guusi geese giisi Marra Merre inn onn \
        stew stivv forge furgi mill moll 'Copper Kettle' 'Cuppir Kittli' >"$demo/workspace/u7.dic"
    printf '[DIRECTORY]\r\nEDITOR=workspace/\r\nU7=game/\r\nREF_USECODE=reference/usecode\r\nREF_PAK=reference/ref.pak\r\n[USER]\r\nID=1\r\nNAME=Demo\r\n' \
        >"$demo/LEXIVO.INI"
    # The first start (text.txt, text.eng, orig.pak), then a few game messages
    # already translated in the text tab, one with a translator's note.
    "$build/cli/lexivo-cli" --ini "$demo/LEXIVO.INI" init >/dev/null
    awk 'BEGIN { ORS = "\r\n" } { sub(/\r$/, "") }
         NR == 1 { $0 = "Yua cennut riech det." }
         NR == 2 { $0 = "Ot os lucked. # the door, not a chest" }
         NR == 4 { $0 = "Nudong heppins." }
         NR == 6 { $0 = "Yua eri hangry." }
         { print }' "$demo/workspace/text.txt" >"$demo/workspace/text.txt.new"
    mv "$demo/workspace/text.txt.new" "$demo/workspace/text.txt"
fi
# The program keeps LEXIVO.INI and Help/ beside itself: run a copy from demo/.
cp "$build/app/lexivo" "$demo/lexivo"
mkdir -p "$demo/Help" "$demo/colors"
cp -r "$root/resources/help/." "$demo/Help/" 2>/dev/null || true
cp "$root/resources/colors/"*.clr "$demo/colors/"
exec "$demo/lexivo"
