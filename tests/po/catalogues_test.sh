#!/usr/bin/env bash
# The message catalogues against the sources: po/morrowby.pot current with the texts
# the sources mark, and each language of po/LINGUAS translating every one of them,
# with none fuzzy and every format taking the English's arguments; the menu entries
# and the metainfo as built with the translations still valid.
# usage: catalogues_test.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d /tmp/morrowby-po-test-XXXXXX)
trap 'rm -rf "$scratch"' EXIT
source "$source/tests/support/check.sh"
empty() { [ -z "$("$@")" ] || { "$@"; return 1; }; }

po=$source/po
check "po/morrowby.pot is current with the sources (make update-po)" "$source/tools/update-po.sh" --check
for lang in $(sed 's/#.*//' "$po/LINGUAS"); do
  check "$lang.po compiles, its formats matching the English" \
    msgfmt --check --check-format -o /dev/null "$po/$lang.po"
  check "$lang.po translates every text of the pot" msgcmp "$po/$lang.po" "$po/morrowby.pot"
  check "$lang.po has no fuzzy translation" empty msgattrib --only-fuzzy --no-obsolete "$po/$lang.po"
  check "$lang.po has no untranslated text" empty msgattrib --untranslated --no-obsolete "$po/$lang.po"
  for entry in "$build"/data/*.desktop; do
    check "$(basename "$entry") has its $lang name" grep -q "^Name\[$lang\]=" "$entry"
  done
  for info in "$build"/data/*.metainfo.xml; do
    check "$(basename "$info") has its $lang summary" grep -q "<summary xml:lang=\"$lang\">" "$info"
  done
done
for entry in "$build"/data/*.desktop; do
  check "$(basename "$entry") with its translations is valid" desktop-file-validate "$entry"
done
for info in "$build"/data/*.metainfo.xml; do
  check "$(basename "$info") with its translations is valid" appstreamcli validate --no-net "$info"
done

finish
