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
         NR == 5 { $0 = "Tuu hievy tu loft. " }
         NR == 6 { $0 = "Yua eri hangry." }
         { print }' "$demo/workspace/text.txt" >"$demo/workspace/text.txt.new"
    mv "$demo/workspace/text.txt.new" "$demo/workspace/text.txt"
    # The smith half translated, with two slips for Compile > Check translations
    # (and lexivo-cli qa) to find: the price list lost its line breaks, and a
    # message above (line 5 of text.txt) gained a trailing space.
    "$build/cli/lexivo-cli" --ini "$demo/LEXIVO.INI" extract >/dev/null
    awk 'BEGIN { ORS = "\r\n" } { sub(/\r$/, "") }
         NR == 1 { $0 = "Thi rong uf e hemmir stups. E suut-cuvirid men piirs et yua uvir thi envol." }
         NR == 3 { $0 = "\"Usvon Tellu. Smoth, ferroir end, un Sandeys, bill-rongir.\"" }
         NR == 7 { $0 = "\"Procis: Hursishui 4 cuons, Knofi 9 cuons, Shurt svvurd 40 cuons.\"" }
         { print }' "$demo/workspace/0402.TXT" >"$demo/workspace/0402.TXT.new"
    mv "$demo/workspace/0402.TXT.new" "$demo/workspace/0402.TXT"
    # The team: a translators list, a few functions assigned in FuncStatus.dat
    # (status in bits 0-1: 0 complete, 1 revision, 2 working, 3 unassigned;
    # translator number in bits 2-7), a colleague's comments (2.cmt, written
    # with perl, which every Debian has) and the team's notes.
    count=$("$build/cli/lexivo-cli" --ini "$demo/LEXIVO.INI" status | grep -vc '^total')
    perl -e 'my $n = shift; my @b = (0x06, 0x0D, 0x08, 0x0A);
             print pack("C*", map { $_ < @b ? $b[$_] : 3 } 0 .. $n - 1)' "$count" \
        >"$demo/workspace/FuncStatus.dat"
    perl -e 'sub s_ { $_[0] . "\0" }
             my @c = ([46112.40, "Keep the line short: the sign is small.", 0x0096, 0],
                      [46113.62, "Marra speaks a little old-fashioned.", 0x0401, 1],
                      [46114.35, "\"Smith\" is his trade and his name here.", 0x0402, 1]);
             print s_("Mira"), pack("l<l<", 0x1060C0, scalar @c);
             print pack("d<", $_->[0]), s_($_->[1]), pack("S<S<", $_->[2], $_->[3]) for @c' \
        >"$demo/workspace/2.cmt"
    printf '[GROUP]\r\nTRANSLATORSNAMES=Demo|Mira|Tomas|\r\n' >>"$demo/LEXIVO.INI"
    cat >"$demo/workspace/notes.rtf" <<'RTF'
{\rtf1\ansi\deff0{\fonttbl{\f0\fswiss Arial;}}{\colortbl;\red34\green68\blue34;}
{\b\fs32\cf1 Harrowmere translation team\par}
\fs20 Welcome to the demo workspace.\par
\par
{\b Agreed rules}\par
- Keep every \\N where the original has one: the game breaks lines there.\par
- Translate answers the same way everywhere: conversations compare them as text.\par
- Terms are in the dictionary; a right click in the editor shows them.\par
\par
{\i Mira has the smith and the sergeant, Tomas the inn; ask before you take a function.}\par
}
RTF
fi
# The program keeps LEXIVO.INI and Help/ beside itself: run a copy from demo/.
cp "$build/app/lexivo" "$demo/lexivo"
mkdir -p "$demo/Help" "$demo/colors"
cp -r "$root/resources/help/." "$demo/Help/" 2>/dev/null || true
cp "$root/resources/colors/"*.clr "$demo/colors/"
exec "$demo/lexivo"
