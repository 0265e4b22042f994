#!/usr/bin/env bash
# The kpv program against Info-ZIP, both ways, in the clear and encrypted:
# kpv pack -> unzip, and zip -> kpv extract, compared byte for byte.
#   KpvRoundTrip.sh KPV
set -euo pipefail
kpv=$1
for tool in zip unzip; do
  command -v "$tool" >/dev/null || { echo "skipped: no $tool"; exit 0; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export CORVANTIS_PREFIX=$work/prefix

tree=$work/tree
mkdir -p "$tree/docs" "$tree/images/icons" "$tree/sql"
printf 'Read me first.\r\n' >"$tree/docs/readme.txt"
head -c 300000 /dev/urandom >"$tree/images/icons/big.bin"
: >"$tree/empty.txt"
printf 'CREATE TABLE t (id integer);\n' >"$tree/sql/Setup.SQL"
printf 'blank\n' >"$tree/my file.txt"

for password in "" s3cret; do
  opt=() zopt=() uopt=()
  if [ -n "$password" ]; then
    opt=(--password "$password") zopt=(-e -P "$password") uopt=(-P "$password")
  fi
  "$kpv" pack "$tree" "$work/packed.zip" "${opt[@]}"
  unzip -tqq "${uopt[@]}" "$work/packed.zip"
  rm -rf "$work/out" && unzip -qq "${uopt[@]}" "$work/packed.zip" -d "$work/out"
  diff -r "$tree" "$work/out"

  rm -f "$work/zipped.zip" && (cd "$tree" && zip -q -0 -r "${zopt[@]}" "$work/zipped.zip" .)
  rm -rf "$work/out" && "$kpv" extract "$work/zipped.zip" --all "$work/out" "${opt[@]}"
  diff -r "$tree" "$work/out"
done

# A folder that does not exist yet, named relative to the current one, is
# made with its parents, as unzip -d makes it.
(cd "$work" && "$kpv" extract zipped.zip --all n/e/w --password s3cret)
diff -r "$tree" "$work/n/e/w"
echo "kpv and Info-ZIP agree"
