#!/usr/bin/env bash
# Failures after the web server's stop, one per phase, against the real
# database server: each ends with the machine as it was before the run
# (every file and folder with its mode and bytes, the registry file), the
# module row and tables unchanged, the web server started again, and the
# exit status the README gives. Also: /norollback once, a program that hangs
# under /waitlimit:, a setup killed during the import (psql goes with it),
# and a setup killed during the restore, then run again.
BUILD=$1
. "$(dirname "$0")/lib.sh"

# The machine without what the run may leave: the work folder below the
# user's temp folder, and the stand-ins' logs.
machine_state() {
  snapshot "$1" | grep -v -e ' \./drive_c/users' -e ' \./drive_c/[A-Za-z0-9.]*/[0-9.]*/*logs'
}
# alive PID: the process runs (an ended one waiting to be reaped does not).
alive() { [ -n "$1" ] && [ -e "/proc/$1" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status"; }
db_state() {
  module_rows
  psql -X -At -d corvantis -c "SELECT count(*) FROM pg_tables WHERE tablename LIKE 'articles%'"
}

# A machine with the stand-ins and an intranet file that the package
# replaces, with a mode of its own.
failure_machine() {
  local m
  m=$(new_machine "$1")
  install_stand_ins "$m"
  mkdir -p "$m/drive_c/Intranet/articles"
  printf '<?php // Articles 2.3.7\r\n' >"$m/drive_c/Intranet/articles/index.php"
  chmod 0640 "$m/drive_c/Intranet/articles/index.php"
  echo "$m"
}

# repack PREFIX DIR: Data.kpv made from DIR.
repack() { "$BUILD/tools/kpv/kpv" pack "$2" "$1/drive_c/Setup/Data.kpv" >/dev/null; }

# expect_restored NAME PREFIX STATUS BEFORE DB_BEFORE CONTROL: the run ended
# with STATUS, the machine and the database as before, these commands given.
expect_restored() {
  local name=$1 m=$2 want=$3 before=$4 db_before=$5 control=$6
  expect_status "$name" "$want" "$m"
  diff <(echo "$before") <(machine_state "$m") >"$work/$name.diff" ||
    fail "$name: the machine differs from before: $(head -20 "$work/$name.diff")"
  [ "$(db_state)" = "$db_before" ] || fail "$name: database: $(db_state)"
  [ "$(control_log "$m" | tr '\n' ';')" = "$control" ] ||
    fail "$name: web server commands: $(control_log "$m" | tr '\n' ';')"
  grep -q 'The previous state was restored and Apache was started again.' "$m.out" ||
    fail "$name: no word of the restore: $(tail -5 "$m.out")"
}

restored_control='httpd.exe -w -n Apache2.2 -k stop;httpd.exe -w -n Apache2.2 -k start;'
log_of() { cat "$1.log" 2>/dev/null; }

# 1. An entry that cannot be placed once the web server is stopped (a folder
# stands at its name), after others were placed.
m=$(failure_machine entry)
cp -R "$top/samples/package" "$work/entry-package"
printf 'zzz.txt: the last entry\n' >"$work/entry-package/zzz.txt"
repack "$m" "$work/entry-package"
before=$(machine_state "$m") db_before=$(db_state)
CORVANTIS_TEST_HTTPD_HOOK="stop:mkdir $m/drive_c/Intranet/zzz.txt" \
  run_setup "$m" '' /verysilent /dbpass:unused "/log:$m.log"
rmdir "$m/drive_c/Intranet/zzz.txt"
expect_restored entry "$m" 4 "$before" "$db_before" "$restored_control"
grep -qF 'restore: old file put back: C:\Intranet\articles/index.php' "$m.log" ||
  fail "entry: the log does not say the old file was put back"

# 2. php.ini gone once the web server is stopped: a raised fault.
m=$(failure_machine php-ini)
before=$(machine_state "$m") db_before=$(db_state)
CORVANTIS_TEST_HTTPD_HOOK="stop:mv $m/drive_c/php/php.ini $m/php.ini.away" \
  run_setup "$m" '' /verysilent /dbpass:unused "/log:$m.log"
mv "$m/php.ini.away" "$m/drive_c/php/php.ini"
expect_restored php-ini "$m" 4 "$before" "$db_before" "$restored_control"
grep -q 'fault: Cannot open file C:\\php\\\\php.ini (.*No such file or directory)' "$m.log" ||
  fail "php-ini: the log does not give the system's reason: $(grep fault "$m.log")"

# 3. A script that fails in its middle: no table, no row of its own.
m=$(failure_machine script)
cp -R "$top/samples/package" "$work/script-package"
cat >"$work/script-package/brevoxil.sql" <<'SQL'
CREATE TABLE articles_half (id integer);
INSERT INTO articles_half VALUES (1);
SELECT * FROM no_such_table;
CREATE TABLE articles_after (id integer);
SQL
repack "$m" "$work/script-package"
before=$(machine_state "$m") db_before=$(db_state)
run_setup "$m" '' /verysilent /dbpass:unused "/log:$m.log"
expect_restored script "$m" 5 "$before" "$db_before" "$restored_control"
grep -q 'output: .*relation "no_such_table" does not exist' "$m.log" ||
  fail "script: psql's error is not in the log"
grep -qF 'psql.exe" -f "C:\users\' "$m.log" || fail "script: no psql command line in the log"

# 4. The import answered No after psql could not connect.
m=$(failure_machine import-no)
before=$(machine_state "$m") db_before=$(db_state)
CORVANTIS_TEST_PSQL_STATUS=2 run_setup "$m" '' /verysilent /dbpass:unused
expect_restored import-no "$m" 5 "$before" "$db_before" "$restored_control"

# 5. A restart that fails: the new extension does not load. The script's
# changes are committed by then and stay; the module row does not move.
m=$(failure_machine restart)
before=$(machine_state "$m") rows_before=$(module_rows)
CORVANTIS_TEST_HTTPD_FAIL=restart run_setup "$m" '' /verysilent /dbpass:unused "/log:$m.log"
expect_restored restart "$m" 4 "$before" "$rows_before"$'\n'1 \
  'httpd.exe -w -n Apache2.2 -k stop;httpd.exe -w -n Apache2.2 -k restart;httpd.exe -w -n Apache2.2 -k start;'
grep -q 'output: Cannot load C:/php/ext/php_articles.dll into server' "$m.log" ||
  fail "restart: the web server's output is not in the log"

# 6. The stop fails: nothing is written, status 7, the command named.
m=$(failure_machine stop)
before=$(machine_state "$m") db_before=$(db_state)
CORVANTIS_TEST_HTTPD_FAIL=stop run_setup "$m" '' /verysilent /dbpass:unused
expect_status stop 7 "$m"
[ "$(machine_state "$m")" = "$before" ] || fail "stop: the machine changed"
[ "$(control_log "$m")" = 'httpd.exe -w -n Apache2.2 -k stop' ] ||
  fail "stop: commands: $(control_log "$m")"
grep -qF 'Apache could not be stopped; nothing was changed.' "$m.out" &&
  grep -qF 'bin\httpd.exe" -w -n "Apache2.2" -k stop' "$m.out" && grep -qF 'exit status 1' "$m.out" ||
  fail "stop: message: $(cat "$m.out")"

# 7. The module record fails after a good restart: the files stay, status 9.
m=$(failure_machine record)
CORVANTIS_TEST_HTTPD_HOOK="restart:psql -X -q -d corvantis -c 'ALTER TABLE modules RENAME TO modules_away'" \
  run_setup "$m" '' /verysilent /dbpass:unused "/log:$m.log"
psql -X -q -d corvantis -c 'ALTER TABLE modules_away RENAME TO modules'
expect_status record 9 "$m"
cmp -s "$top/samples/package/articles/index.php" "$m/drive_c/Intranet/articles/index.php" ||
  fail "record: the new files did not stay"
grep -q 'nothing is restored; run setup again' "$m.log" || fail "record: the log does not say so"

# 8. /norollback: the failed state stays, the web server stopped.
m=$(failure_machine norollback)
CORVANTIS_TEST_HTTPD_FAIL=restart run_setup "$m" '' /verysilent /norollback /dbpass:unused
expect_status norollback 4 "$m"
cmp -s "$top/samples/package/articles/index.php" "$m/drive_c/Intranet/articles/index.php" ||
  fail "norollback: the new file is not left in place"
[ "$(control_log "$m" | tr '\n' ';')" = 'httpd.exe -w -n Apache2.2 -k stop;httpd.exe -w -n Apache2.2 -k restart;' ] ||
  fail "norollback: commands: $(control_log "$m" | tr '\n' ';')"

# 9. A stop that hangs: ended with its child after the wait limit; refused.
m=$(failure_machine hang)
before=$(machine_state "$m")
CORVANTIS_TEST_HTTPD_HANG=stop run_setup "$m" '' /verysilent /waitlimit:2 /dbpass:unused "/log:$m.log"
expect_status hang 7 "$m"
[ "$(machine_state "$m")" = "$before" ] || fail "hang: the machine changed"
child=$(cat "$m/drive_c/Apache2.2/logs/hung-child.pid" 2>/dev/null)
[ -n "$child" ] && ! alive "$child" || fail "hang: the stop's child still runs"
grep -q 'ended .*httpd.exe.* -k stop with the programs it started, after 2\.[0-9]* s' "$m.log" ||
  fail "hang: the log does not say which program was ended: $(grep -i ended "$m.log")"

# 10. setup killed during the import: psql ends with it.
m=$(failure_machine kill-import)
CORVANTIS_PREFIX=$m CORVANTIS_TEST_PSQL_HANG=1 "$m/drive_c/Setup/setup" /verysilent /dbpass:unused \
  >"$m.out" 2>&1 &
setup_pid=$!
for ((i = 0; i < 500; i++)); do
  [ -s "$m/drive_c/PostgreSQL/8.3/logs/psql-hang.pid" ] && break
  sleep 0.02
done
psql_pid=$(cat "$m/drive_c/PostgreSQL/8.3/logs/psql-hang.pid" 2>/dev/null)
kill -9 "$setup_pid"
wait "$setup_pid" 2>/dev/null
sleep 0.5
[ -n "$psql_pid" ] && ! alive "$psql_pid" || fail "kill-import: psql outlived setup"

# 11. setup killed during the restore (at the web server's start, after the
# files went back); a second run installs the update whole.
m=$(failure_machine kill-restore)
CORVANTIS_TEST_HTTPD_FAIL=restart CORVANTIS_TEST_KILL_AT=httpd-start \
  run_setup "$m" '' /verysilent /dbpass:unused
[ "$status" -eq 137 ] || fail "kill-restore: status $status, expected 137"
run_setup "$m" '' /verysilent /dbpass:unused
expect_status kill-restore 0 "$m"
[ "$(module_rows)" = "Articles|2.3.8|2010-05-31 02:03:08" ] || fail "kill-restore: $(module_rows)"
cmp -s "$top/samples/package/articles/index.php" "$m/drive_c/Intranet/articles/index.php" ||
  fail "kill-restore: the second run did not place the update"

finish
