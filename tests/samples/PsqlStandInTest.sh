#!/usr/bin/env bash
# The prefix's psql.exe imports the sample brevoxil.sql into the test
# server: it finds the script by its Windows path (C: in the prefix, Z: on
# the host's root), logs each call, and a second import changes nothing.
set -euo pipefail
source_dir=$1

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

[[ -f ${CORVANTIS_PG_DIR:-}/env ]] || fail "no test server (CORVANTIS_PG_DIR/env)"
set -a
. "$CORVANTIS_PG_DIR/env"
set +a

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
export CORVANTIS_PREFIX=$prefix
export CORVANTIS_PSQL_LOG=$prefix/psql.log
work=$prefix/drive_c/users/root/Temp/123
mkdir -p "$work"
cp "$source_dir/samples/package/brevoxil.sql" "$work/"

psql -X -q -d corvantis -c 'DROP TABLE IF EXISTS articles_settings'
psql_exe=$source_dir/samples/prefix/drive_c/PostgreSQL/8.3/bin/psql.exe
on_z="Z:${work//\//\\}\\brevoxil.sql"
"$psql_exe" -f 'C:\users\root\Temp\123\brevoxil.sql' corvantis root >/dev/null
"$psql_exe" -f "$on_z" corvantis root >/dev/null

rows=$(psql -X -At -d corvantis -c "SELECT name || '=' || value FROM articles_settings ORDER BY name")
[[ $rows == $'articles_per_page=20\ncomments_enabled=yes' ]] || fail "articles_settings holds: $rows"

expected='psql.exe -f C:\users\root\Temp\123\brevoxil.sql corvantis root'
first_line=$(head -n 1 "$prefix/psql.log")
[[ $first_line == "$expected" ]] || fail "logged: $first_line"
[[ $(wc -l <"$prefix/psql.log") -eq 2 ]] || fail "expected two logged calls"
echo "psql.exe stand-in: imported twice, 2 rows"
