#!/usr/bin/env bash
# An unattended install against a real database server: psql.exe is run on
# the package's script in the work folder, and the module row ends at 2.3.8.
# psql.exe reaches the server the gate read, whatever the installer's own
# environment says, any user name reaches it whole, and its failure is asked
# about.
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
expected='^psql\.exe -f C:\\users\\[^ ]+\\Temp\\[0-9]+\\brevoxil\.sql\.transaction corvantis root$'
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

# psql_args FILE: what the stand-in psql.exe got, one field per line with
# its line breaks shown as \n: the arguments, then PGHOST= and PGPASSWORD=.
psql_args() {
  local fields=() f
  mapfile -d '' fields <"$1" 2>/dev/null
  for f in "${fields[@]}"; do printf '%s\n' "${f//$'\n'/\\n}"; done
}
import_failed='An error occured whilst trying to import data into SQL Server. Continue installation?'
# shown FILE TEXT: TEXT was shown, whatever its lines were wrapped at.
shown() { tr '\n' ' ' <"$1" | grep -qF -- "$2"; }

# The installer's own environment names another server (a socket folder
# without one, so psql.exe fails at once there); /dbhost: names the real
# one, which the gate reads and psql.exe imports into.
m=$(new_machine psql-host)
install_stand_ins "$m"
server=$PGHOST
PGHOST=$work/no-server CORVANTIS_TEST_PSQL_ARGS=$m.args \
  run_setup "$m" '' /silent "/dbhost:$server" /dbpass:pw1
expect_status psql-host 0 "$m"
shown "$m.out" "$import_failed" && fail "psql-host: the import failed"
[ "$(psql_args "$m.args" | tail -2)" = "PGHOST=$server"$'\n'"PGPASSWORD=pw1" ] ||
  fail "psql-host: psql.exe got: $(psql_args "$m.args" | tr '\n' ' ')"
[ "$(psql -X -At -d corvantis -c "SELECT count(*) FROM articles_settings")" = 2 ] ||
  fail "psql-host: the script was not imported into $server"
[ "$(module_rows)" = "Articles|2.3.8|2010-05-31 02:03:08" ] || fail "psql-host: modules: $(module_rows)"

# psql.exe that ends with 2, as when it cannot reach the server: the question,
# and No ends the install (exit status 5), the previous state restored, the
# web server started again and the module row as it was; Yes goes on to the end.
for answer in n y; do
  m=$(new_machine psql-fails-$answer)
  install_stand_ins "$m"
  CORVANTIS_TEST_PSQL_STATUS=2 run_setup "$m" "$answer\n" /silent /dbpass:unused
  shown "$m.out" "$import_failed" || fail "psql-fails-$answer: no question"
  if [ $answer = n ]; then
    expect_status psql-fails-n 5 "$m"
    [ "$(module_rows)" = "Articles|2.3.7|2009-11-16 10:24:00" ] || fail "psql-fails-n: modules: $(module_rows)"
    [ "$(control_log "$m" | tr '\n' ';')" = "httpd.exe -w -n Apache2.2 -k stop;httpd.exe -w -n Apache2.2 -k start;" ] ||
      fail "psql-fails-n: $(control_log "$m")"
  else
    expect_status psql-fails-y 0 "$m"
    [ "$(module_rows | cut -d'|' -f2)" = 2.3.8 ] || fail "psql-fails-y: modules: $(module_rows)"
  fi
done

# User names with each awkward character reach psql.exe as typed, as one
# argument; the gate and psql.exe log in with them and their password.
# (Names of their own: the database tests make roles on the same server.)
users=("john smith" $'tab\there' 'say "hi"' 'a "b\" -c x' 'psql\back\slash\' $'line\nbreak -f other.sql'
  $'root\n-fother.sql')
for user in "${users[@]}"; do
  printf 'DROP ROLE IF EXISTS :"u"; CREATE ROLE :"u" LOGIN PASSWORD %s;\n' "'pw2'" | psql -X -q -v ON_ERROR_STOP=1 -v u="$user" -d postgres ||
    fail "role '$user' not made"
done
i=0
for user in "${users[@]}"; do
  i=$((i + 1))
  m=$(new_machine psql-user-$i)
  install_stand_ins "$m"
  CORVANTIS_TEST_PSQL_ARGS=$m.args run_setup "$m" '' /silent "/dbuser:$user" /dbpass:pw2
  expect_status "psql-user-$i" 0 "$m"
  mapfile -d '' got <"$m.args" 2>/dev/null
  [ "${#got[@]}" = 6 ] && [ "${got[3]}" = "$user" ] ||
    fail "psql-user-$i: psql.exe got: $(psql_args "$m.args" | tr '\n' '|')"
  [ "$(module_rows | cut -d'|' -f2)" = 2.3.8 ] || fail "psql-user-$i: modules: $(module_rows)"
done
for user in "${users[@]}"; do
  printf 'DROP ROLE :"u";\n' | psql -X -q -v u="$user" -d postgres
done

finish
