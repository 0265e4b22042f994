#!/usr/bin/env bash
# An unattended install against a real database server: psql.exe is run on
# the package's script in the work folder, and the module row ends at 2.3.8.
BUILD=$1
. "$(dirname "$0")/lib.sh"

m=$(new_machine silent-db)
# The server trusts "root" from 127.0.0.1, so the password is not checked;
# giving one keeps the login dialog away.
run_setup "$m" '' /silent /dbpass:unused
expect_status "silent-db" 0 "$m"

rows=$(module_rows)
[ "$rows" = "Articles|2.3.8|2010-05-31 02:03:08" ] || fail "silent-db: modules: $rows"

psql_log=$m/drive_c/PostgreSQL/8.3/logs/psql.log
calls=$(cat "$psql_log" 2>/dev/null)
expected='^psql\.exe -f C:\\users\\[^ ]+\\Temp\\[0-9]+\\brevoxil\.sql corvantis root$'
[[ $calls =~ $expected ]] || fail "silent-db: psql.exe calls: $calls"

# The script is imported once the package that unpacks it is there.
if [ -f "$m/drive_c/Setup/Data.kpv" ]; then
  settings=$(psql -X -At -d corvantis -c "SELECT count(*) FROM articles_settings")
  [ "$settings" = 2 ] || fail "silent-db: articles_settings: $settings"
fi

finish
