#!/usr/bin/env bash
# Runs every libFuzzer target (or the ones named) for SECONDS each, one after
# another, each on its own corpus kept in the fuzz build folder.
#   fuzz/run.sh SECONDS [fuzz_usecode fuzz_pack ...]
# The build folder is $LEXIVO_FUZZ_BUILD_DIR (default build-fuzz); it is
# configured with clang++ and built when needed. A finding is saved as
# <build>/fuzz-findings/<target>-crash-... and makes the script exit 1 after
# the remaining targets have run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
if [[ $# -lt 1 || ! "$1" =~ ^[0-9]+$ ]]; then
  echo "usage: $0 SECONDS [TARGET...]" >&2
  exit 2
fi
seconds="$1"
shift
build="${LEXIVO_FUZZ_BUILD_DIR:-$root/build-fuzz}"
if [[ ! -f "$build/build.ninja" ]]; then
  CXX="${CXX:-clang++}" cmake -S "$root" -B "$build" -G Ninja -DLEXIVO_FUZZ=ON >/dev/null
fi
cmake --build "$build" -j"${LEXIVO_FUZZ_JOBS:-1}" >/dev/null

if [[ $# -gt 0 ]]; then
  targets=("$@")
else
  targets=()
  for src in "$root"/fuzz/fuzz_*.cpp; do
    targets+=("$(basename "$src" .cpp)")
  done
fi

# Seeds for empty corpora: a sample game and reference from the game builder
# when it is built ($LEXIVO_SAMPLEGAME, default build/tools/lexivo-samplegame),
# and a few small files written here.
seed() { # seed TARGET NAME < bytes
  mkdir -p "$build/fuzz-corpus/$1"
  cat >"$build/fuzz-corpus/$1/seed-$2"
}
if [[ ! -f "$build/fuzz-corpus/.seeded" ]]; then
  mkdir -p "$build/fuzz-corpus"
  touch "$build/fuzz-corpus/.seeded"
  printf 'Avatar\r\nAvatar\r\nBritain\r\nBretagne\r\nLord British\r\nLord Bretagne\r\n' | seed fuzz_dictionary terms
  printf '\x0eHello, traveller.\r\nFarewell.\\N\\T\r\n\xe9t\xe9\r\n\r\n' | seed fuzz_translationfile lines
  printf '\x00Une ligne\r\nDeux\r\n' | seed fuzz_translationfile two
  printf '0x010:Dawn\r\n# note\r\n0x011:Dusk\\Nnow\r\nfree text\r\n' | seed fuzz_messagefile messages
  printf '# map\r\n%%%%section version\r\n:1\r\n%%%%endsection\r\n%%%%section builtin\r\n:C3BC/02\r\n5:C2BF/86\r\n%%%%endsection\r\n%%%%section original\r\n:C3BC/ue\r\n%%%%endsection\r\n' | seed fuzz_fontmap map
  printf '\x00\x10\x81\x01\x05\x0a\x0f\x00\x00\x00\x00\x01\x02\x03' | seed fuzz_funcstatus status
  printf '[DIRECTORY]\r\nU7=/game/\r\nEDITOR=ed\r\n[SETTING]\r\nLASTFUNC=0x10\r\n[USER]\r\nID=2\r\nNAME=Me\r\n[GROUP]\r\nTRANSLATORSNAMES=A|B|\r\n' | seed fuzz_ini ini
  # Comment file: name, colour, count 1, date, text, function, line.
  printf 'Me\x00\xff\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x20\xf8\xe5\x40Check\x00\x00\x04\x01\x00' | seed fuzz_comments one
  printf 'msgid ""\nmsgstr ""\n"Content-Type: text/plain; charset=UTF-8\\n"\n"Language: de\\n"\n\n#. line 1\nmsgctxt "0400:0"\nmsgid "Hello"\nmsgstr "Hallo"\n\n#, fuzzy\nmsgctxt "0400:1"\nmsgid "Bye"\nmsgstr ""\n' | seed fuzz_po catalogue
  printf '{\\rtf1\\ansi{\\fonttbl{\\f0\\fcharset0 Arial;}}{\\colortbl;\\red255\\green0\\blue0;}\\f0\\fs20 a \\b bold\\b0\\cf1  \\u233?\\par}' | seed fuzz_rtf notes
  sample="${LEXIVO_SAMPLEGAME:-$root/build/tools/lexivo-samplegame}"
  if [[ -x "$sample" ]]; then
    tmp="$(mktemp -d)"
    "$sample" "$tmp/game" >/dev/null && "$sample" --reference "$tmp/ref" >/dev/null
    seed fuzz_usecode game <"$tmp/game/usecode"
    seed fuzz_usecode ref <"$tmp/ref/usecode"
    seed fuzz_textarchive game <"$tmp/game/text.flx"
    seed fuzz_pack ref <"$tmp/ref/ref.pak"
    if command -v bzip2 >/dev/null; then
      bzip2 -dc "$tmp/ref/ref.pak" | seed fuzz_pack content
      # The reference target: the usecode part's length (two bytes, high first).
      size=$(stat -c %s "$tmp/ref/usecode")
      { printf "\\x$(printf %02x $((size >> 8 & 255)))\\x$(printf %02x $((size & 255)))"
        cat "$tmp/ref/usecode"; bzip2 -dc "$tmp/ref/ref.pak"; } | seed fuzz_reference sample
    fi
    rm -rf "$tmp"
  fi
fi

failed=()
mkdir -p "$build/fuzz-findings"
for target in "${targets[@]}"; do
  corpus="$build/fuzz-corpus/$target"
  mkdir -p "$corpus"
  echo "== $target: ${seconds}s"
  if ! QT_QPA_PLATFORM=offscreen "$build/fuzz/$target" "$corpus" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
      -print_final_stats=1 -artifact_prefix="$build/fuzz-findings/$target-" \
      >"$build/fuzz-findings/$target.log" 2>&1; then
    failed+=("$target")
    tail -n 40 "$build/fuzz-findings/$target.log" >&2
  fi
  grep -E '^stat::number_of_executed_units|^#[0-9]+.*DONE' "$build/fuzz-findings/$target.log" | tail -n 2 || true
done

if [[ ${#failed[@]} -gt 0 ]]; then
  echo "findings: ${failed[*]} (inputs in $build/fuzz-findings)" >&2
  exit 1
fi
echo "no finding"
