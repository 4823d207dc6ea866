#!/bin/sh
# Extracts every text a user sees into po/morrowby.pot (the C++ sources' marked texts,
# the menu entries, the AppStream metainfo) and merges it into each language's
# catalogue named in po/LINGUAS, for translators to complete. With --check it changes
# nothing and fails when the pot is not current with the sources.
# usage: tools/update-po.sh [--check]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
check=no
[ "${1:-}" = "--check" ] && check=yes
work=$(mktemp -d /tmp/morrowby-po-XXXXXX)
trap 'rm -rf "$work"' EXIT

version=$(sed -n 's/^project(morrowby VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
# The keywords: N_ marks a text in a table, Tr and TrFormat look it up through the C
# library, ShownText, ShownBytes and ShownFormat through wx (store/translation.h,
# ui/shown_text.h).
find app store sound ui resources -name '*.cpp' -o -name '*.h' | LC_ALL=C sort >"$work/sources"
xgettext --from-code=UTF-8 --language=C++ --keyword --keyword=N_ --keyword=Tr \
  --keyword=TrFormat --keyword=ShownText --keyword=ShownBytes --keyword=ShownFormat \
  --flag=TrFormat:1:c-format --flag=ShownFormat:1:c-format --add-comments=TRANSLATORS: \
  --files-from="$work/sources" -o "$work/code.pot"
xgettext --language=Desktop -o "$work/desktop.pot" data/*.desktop
xgettext -o "$work/metainfo.pot" data/*.metainfo.xml
msgcat --use-first "$work/code.pot" "$work/desktop.pot" "$work/metainfo.pot" -o "$work/all.pot"
# A header of our own (xgettext's has placeholders); the creation date only changes
# with the texts, so that a run with nothing new leaves the pot as it was.
{
  cat <<HEADER
# The texts of Morrowby, for translation into the languages of po/LINGUAS.
# This file is made by tools/update-po.sh (make update-po); do not edit it.
msgid ""
msgstr ""
"Project-Id-Version: morrowby $version\\n"
"Report-Msgid-Bugs-To: morrowby@morrowby.org\\n"
"POT-Creation-Date: DATE\\n"
"MIME-Version: 1.0\\n"
"Content-Type: text/plain; charset=UTF-8\\n"
"Content-Transfer-Encoding: 8bit\\n"

HEADER
  # msgcat's entries without its header (the first paragraph).
  msgcat --add-location=file "$work/all.pot" | sed '1,/^$/d'
} >"$work/new.pot"

pot=po/morrowby.pot
strip_date() { sed '/^"POT-Creation-Date:/d' "$1"; }
strip_date "$work/new.pot" >"$work/stripped"
if [ -f "$pot" ] && strip_date "$pot" | cmp -s - "$work/stripped"; then
  current=yes
else
  current=no
fi

if [ "$check" = yes ]; then
  if [ "$current" = no ]; then
    echo "po/morrowby.pot is not current with the sources: run make update-po" >&2
    strip_date "$pot" 2>/dev/null | diff -u - "$work/stripped" | head -40 >&2 || true
    exit 1
  fi
  exit 0
fi

if [ "$current" = no ]; then
  sed "s/DATE/$(date -u '+%Y-%m-%d %H:%M+0000')/" "$work/new.pot" >"$pot"
  echo "updated $pot"
fi
for lang in $(sed 's/#.*//' po/LINGUAS); do
  if [ -f "po/$lang.po" ]; then
    msgmerge --quiet --update --backup=none --previous "po/$lang.po" "$pot"
  else
    msginit --no-translator --locale="$lang" --input="$pot" --output-file="po/$lang.po"
  fi
  msgfmt --statistics --check -o /dev/null "po/$lang.po"
done
