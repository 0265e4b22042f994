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

settings=$(psql -X -At -d corvantis -c "SELECT count(*) FROM articles_settings")
[ "$settings" = 2 ] || fail "silent-db: articles_settings: $settings"

# Every file of the package, byte for byte where its extension sends it.
package=$top/samples/package
work_folder=$(ls -d "$m"/drive_c/users/*/Temp/[0-9]* 2>/dev/null | head -1)
(cd "$package" && find . -type f | sort) | while read -r f; do
  f=${f#./}
  case "${f,,}" in
    *.sql) placed=$work_folder/$f ;;
    *.dll | *.manifest) placed=$m/drive_c/php/ext/$f ;;
    *) placed=$m/drive_c/Intranet/$f ;;
  esac
  cmp -s "$package/$f" "$placed" || echo "FAIL: silent-db: $f not placed as $placed"
done | tee "$work/placement.txt"
[ -s "$work/placement.txt" ] && failures=$((failures + 1))

# The package's PHP extension is registered after the php_zip line.
ini=$(tr -d '\r' <"$m/drive_c/php/php.ini")
block=$'extension=php_zip.dll\n\n\n\n; brevoxil - Articles Module Update extensions\nextension=php_articles.dll\n'
[[ $ini == *"$block"* ]] || fail "silent-db: php.ini: $ini"
[ "$(grep -c $'\r$' "$m/drive_c/php/php.ini")" = "$(wc -l <"$m/drive_c/php/php.ini")" ] ||
  fail "silent-db: php.ini lines do not all end in CR LF"
# The install folder is recorded.
grep -qi '"InstallDir"="C:\\\\Intranet"' "$m/system.reg" || fail "silent-db: registry"

finish
