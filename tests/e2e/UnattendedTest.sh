#!/usr/bin/env bash
# Unattended runs as deployment tools start them: /verysilent with /log:,
# /check, /help; every exit status, the log of a successful, a refused and a
# half-failed install compared line by line, the plans of /check, and proof
# that /check changes nothing. No password appears anywhere.
BUILD=$1
. "$(dirname "$0")/lib.sh"

password=Pw-e2e-Secret

# run_unattended PREFIX ARGS...: setup with no input; its standard output
# to PREFIX.stdout, its standard error to PREFIX.stderr, status in $status.
run_unattended() {
  local prefix=$1
  shift
  CORVANTIS_PREFIX=$prefix timeout 120 "$prefix/drive_c/Setup/setup" "$@" \
    </dev/null >"$prefix.stdout" 2>"$prefix.stderr"
  status=$?
}

# normalized FILE PREFIX: the log without its times, with the work folder's
# number, the user's name, the durations and the log's own path replaced.
normalized() {
  sed -E 's/^ *[0-9]+\.[0-9]{3}  //; s/^(run of .* started) [0-9-]+ [0-9:]+ [-+][0-9]{4} on .* by [^:]+: /\1 DATE on HOST by USER: /; s/\\users\\[^\\]+\\Temp\\[0-9]+/\\users\\USER\\Temp\\N/g' "$1" |
    sed -E 's/after [0-9]+\.[0-9]{3} s$/after T s/' | sed "s|$2\.log|LOG|"
}

# same NAME WHAT EXPECTED ACTUAL: the two texts are equal.
same() {
  [ "$3" = "$4" ] || fail "$1: $2 differs:"$'\n'"$(diff <(echo "$3") <(echo "$4") | head -20)"
}

# no_password NAME FILES...: the password is in none of the files.
no_password() {
  local name=$1
  shift
  ! grep -l -F -- "$password" "$@" 2>/dev/null || fail "$name: the password was written"
}

header() {
  cat <<END
run of brevoxil - Articles Module Update 2.3.8 started DATE on HOST by USER: $1
brevoxil - Articles Module Update 2.3.8
command line: $1
installer folder: C:\\Setup\\
package: C:\\Setup\\Data.kpv
InstallDir from the registry: C:\\Intranet
status: Performing pre-install tasks.  Please wait...
base system version: 2.3.6 (from C:\\Intranet\\include\\templates\\version.dat; accepted: 2.3.6 to 2.99)
END
}
gate_reads() {
  cat <<END
DB Login not shown: host, user and password given
database: host localhost, database corvantis, user root
SQL: SELECT * FROM modules WHERE name='Articles';
SQL result: 1 row(s), version '$1'
installed Articles version: $1 (this package updates 2.3.7 to 2.3.8)
END
}
found='version gate: go ahead
WorkFolder: C:\users\USER\Temp\N
ServerRootPath: C:\Apache2.2\
PhpFolder: C:\php\
PgBaseDir: C:\PostgreSQL\8.3\'
# The preconditions, checked before the web server's stop.
checked='check: the web server'"'"'s control program C:\Apache2.2\bin\httpd.exe is there: ok
check: package C:\Setup\Data.kpv can be read: ok
check: every entry (6) reads whole and can be placed: ok
check: room on the volume of C:\php\ext for 1509 bytes (new and kept aside): ok
check: php.ini C:\php\\php.ini can be read and replaced: ok
check: the database client C:\PostgreSQL\8.3\bin\psql.exe is there: ok
check: the registry key HKEY_LOCAL_MACHINE\Software\Corvantis\v2.1 can be written: ok'
unpacked='journal of the changes: C:\users\USER\Temp\N\setup.journal
status: Stopping Apache.  Please wait...
run: "C:\Apache2.2\bin\httpd.exe" -w -n "Apache2.2" -k stop
its output goes to C:\users\USER\Temp\N\httpd-stop.output
exit status 0 after T s
status: Installing module.  Please wait...
status: Extracting file...Microsoft.VC90.CRT.manifest
placed Microsoft.VC90.CRT.manifest as C:\php\\ext\Microsoft.VC90.CRT.manifest, 302 bytes, new
status: Extracting file...edit.php
placed articles/edit.php as C:\Intranet\articles/edit.php, 265 bytes, new
status: Extracting file...articles.gif
placed articles/images/articles.gif as C:\Intranet\articles/images/articles.gif, 43 bytes, new
status: Extracting file...index.php
placed articles/index.php as C:\Intranet\articles/index.php, 325 bytes, replaced
status: Extracting file...brevoxil.sql
placed brevoxil.sql as C:\users\USER\Temp\N\brevoxil.sql, 510 bytes, new
status: Extracting file...php_articles.dll
placed php_articles.dll as C:\php\\ext\php_articles.dll, 54 bytes, new'
imported='C:\php\\php.ini: extension=php_articles.dll added
status: Configuring files.  Please wait...
status: Importing data to SQL Server.  Please wait...
the script runs in one transaction, from C:\users\USER\Temp\N\brevoxil.sql.transaction (psql'"'"'s line numbers there are the script'"'"'s plus 2)
run: "C:\PostgreSQL\8.3\bin\psql.exe" -f "C:\users\USER\Temp\N\brevoxil.sql.transaction" corvantis root
its output goes to C:\users\USER\Temp\N\brevoxil.sql.output'

# An older index.php in the intranet: the install replaces it.
old_index() {
  mkdir -p "$1/drive_c/Intranet/articles"
  printf 'old index\n' >"$1/drive_c/Intranet/articles/index.php"
}

# A successful install: nothing on the console, the log tells it all.
m=$(new_machine verysilent-ok)
old_index "$m"
run_unattended "$m" /VerySilent "/dbpass:$password" "/log:$m.log"
expect_status verysilent-ok 0 "$m"
same verysilent-ok "standard output and error" "" "$(cat "$m.stdout" "$m.stderr")"
same verysilent-ok log "$(header "/VerySilent /dbpass:*** /log:LOG"; gate_reads 2.3.7)
$found
$checked
$unpacked
$imported
exit status 0 after T s
output: BEGIN
output: CREATE TABLE
output: INSERT 0 1
output: INSERT 0 1
output: COMMIT
status: Configuring web pages.  Please wait...
registry HKEY_LOCAL_MACHINE\\Software\\Corvantis\\v2.1 \"InstallDir\" = C:\\Intranet written
status: Restarting Apache.  Please wait...
run: \"C:\\Apache2.2\\bin\\httpd.exe\" -w -n \"Apache2.2\" -k restart
its output goes to C:\\users\\USER\\Temp\\N\\httpd-restart.output
exit status 0 after T s
status: Performing post-install tasks.  Please wait...
database: host localhost, database corvantis, user root
SQL: SELECT * FROM modules WHERE name='Articles';
SQL result: 1 row(s)
SQL: UPDATE modules SET version='2.3.8',verdate='2010-05-31 02:03:08' WHERE name='Articles';
SQL done
result: the install succeeded; exit status 0" "$(normalized "$m.log" "$m")"
same verysilent-ok modules "Articles|2.3.8|2010-05-31 02:03:08" "$(module_rows)"
no_password verysilent-ok "$m.log" "$m.stdout" "$m.stderr"

# Already installed: the re-install question is answered No; nothing changes.
m=$(new_machine verysilent-same)
psql -X -q -d corvantis -c "UPDATE modules SET version = '2.3.8'" || fail "update failed"
before=$(snapshot "$m")
run_unattended "$m" /verysilent "/dbpass:$password" "/log:$m.log"
expect_status verysilent-same 10 "$m"
same verysilent-same "standard output" "" "$(cat "$m.stdout")"
same verysilent-same "standard error" \
  "ERROR: This module is already installed. Re-install? [answered No]" "$(cat "$m.stderr")"
same verysilent-same log "$(header "/verysilent /dbpass:*** /log:LOG"; gate_reads 2.3.8)
box \"ERROR\" MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2: This module is already installed. Re-install?
box answered: No
version gate: refused
result: nothing to do: the server already runs this version; exit status 10" "$(normalized "$m.log" "$m")"
same verysilent-same machine "$before" "$(snapshot "$m")"
same verysilent-same modules "Articles|2.3.8|2009-11-16 10:24:00" "$(module_rows)"
no_password verysilent-same "$m.log" "$m.stdout" "$m.stderr"

# php.ini cannot be read: found before the web server's stop, and raised
# there as the phase would raise it; nothing changed.
m=$(new_machine verysilent-half)
old_index "$m"
rm "$m/drive_c/php/php.ini" && mkdir "$m/drive_c/php/php.ini"
run_unattended "$m" /verysilent "/dbpass:$password" "/log:$m.log"
expect_status verysilent-half 7 "$m"
same verysilent-half "standard error" \
  "Installing...brevoxil - Articles Module Update 2.3.8: Cannot open file C:\\php\\\\php.ini." \
  "$(cat "$m.stderr")"
same verysilent-half log "$(header "/verysilent /dbpass:*** /log:LOG"; gate_reads 2.3.7)
$found
$(echo "$checked" | sed '/php.ini/s/: ok$/: fails: a folder is there/')
refused before any change: Cannot open file C:\\php\\\\php.ini (php.ini C:\\php\\\\php.ini can be read and replaced: a folder is there)
fault: Cannot open file C:\\php\\\\php.ini
box \"Installing...brevoxil - Articles Module Update 2.3.8\" MB_OK|MB_ICONERROR: Cannot open file C:\\php\\\\php.ini.
box answered: OK
result: the update did not go ahead; nothing was changed; exit status 7" "$(normalized "$m.log" "$m")"
same verysilent-half "web server" "" "$(control_log "$m")"
no_password verysilent-half "$m.log" "$m.stdout" "$m.stderr"

# psql.exe fails: the question is answered No, after the changes began; the
# previous state is restored and the web server started again.
m=$(new_machine verysilent-psql)
old_index "$m"
install_stand_ins "$m"
CORVANTIS_TEST_PSQL_STATUS=2 run_unattended "$m" /verysilent "/dbpass:$password" "/log:$m.log"
expect_status verysilent-psql 5 "$m"
same verysilent-psql log "$(header "/verysilent /dbpass:*** /log:LOG"; gate_reads 2.3.7)
$found
$checked
$unpacked
$imported
exit status 2 after T s
the import of brevoxil.sql failed (exit status 2); the database is as it was before it
box \"ERROR\" MB_YESNO|MB_ICONERROR: An error occured whilst trying to import data into SQL Server. Continue installation?
box answered: No
status: Restoring the previous state.  Please wait...
restore: old content put back: C:\\php\\\\php.ini
restore: new file removed: C:\\php\\\\ext\\php_articles.dll
restore: old file put back: C:\\Intranet\\articles/index.php
restore: new file removed: C:\\Intranet\\articles/images/articles.gif
restore: folder removed: C:\\Intranet\\articles/images
restore: new file removed: C:\\Intranet\\articles/edit.php
restore: new file removed: C:\\php\\\\ext\\Microsoft.VC90.CRT.manifest
run: \"C:\\Apache2.2\\bin\\httpd.exe\" -w -n \"Apache2.2\" -k start
its output goes to C:\\users\\USER\\Temp\\N\\httpd-start.output
exit status 0 after T s
box \"ERROR\" MB_OK|MB_ICONERROR: The previous state was restored and Apache was started again.
box answered: OK
result: the install was stopped by a No after it began changing the machine; exit status 5" \
  "$(normalized "$m.log" "$m")"

# No password: the DB Login counts as cancelled, and "Continue installation?"
# is answered No.
m=$(new_machine verysilent-login)
run_unattended "$m" /verysilent /dbuser:admin "/log:$m.log"
expect_status verysilent-login 7 "$m"
same verysilent-login "standard error" "ERROR: Continue installation? [answered No]" "$(cat "$m.stderr")"
same verysilent-login log "$(header "/verysilent /dbuser:admin /log:LOG")
dialog \"DB Login\" opened
DB Login: cancelled
box \"ERROR\" MB_YESNO|MB_ICONERROR: Continue installation?
box answered: No
version gate: refused
result: the update did not go ahead; nothing was changed; exit status 7" "$(normalized "$m.log" "$m")"
[ -z "$(control_log "$m")" ] || fail "verysilent-login: the web server was touched"

# /check on three servers: one where the update applies, one already at
# 2.3.8, one with a damaged package. Each plan in full; nothing changes,
# neither the prefix nor the database.
plan_head='Pre-flight check of brevoxil - Articles Module Update 2.3.8: nothing is changed
base system version: 2.3.6 (from C:\Intranet\include\templates\version.dat; accepted: 2.3.6 to 2.99)'
for server in applies current damaged; do
  m=$(new_machine "check-$server")
  old_index "$m"
  [ $server = current ] && psql -X -q -d corvantis -c "UPDATE modules SET version = '2.3.8'"
  [ $server = damaged ] && truncate -s 200 "$m/drive_c/Setup/Data.kpv"
  before=$(snapshot "$m")
  rows=$(module_rows)
  run_unattended "$m" /check "/dbpass:$password" "/log:$m.log"
  plan=$(sed -E 's/\\users\\[^\\]+\\Temp\\[0-9]+/\\users\\USER\\Temp\\N/g' "$m.stdout")
  case $server in
    applies)
      expect_status check-applies 0 "$m"
      same check-applies plan "$plan_head
installed Articles version: 2.3.7 (this package updates 2.3.7 to 2.3.8)
$found
web server stop: \"C:\\Apache2.2\\bin\\httpd.exe\" -w -n \"Apache2.2\" -k stop
check: the web server's control program C:\\Apache2.2\\bin\\httpd.exe is there: ok
package C:\\Setup\\Data.kpv: 6 entries
check: package C:\\Setup\\Data.kpv can be read: ok
entry Microsoft.VC90.CRT.manifest -> C:\\php\\\\ext\\Microsoft.VC90.CRT.manifest: new, 302 bytes
entry articles/edit.php -> C:\\Intranet\\articles/edit.php: new, 265 bytes
entry articles/images/articles.gif -> C:\\Intranet\\articles/images/articles.gif: new, 43 bytes
entry articles/index.php -> C:\\Intranet\\articles/index.php: replaces a file of 10 bytes with 325 bytes
entry brevoxil.sql -> C:\\users\\USER\\Temp\\N\\brevoxil.sql: new, 510 bytes
entry php_articles.dll -> C:\\php\\\\ext\\php_articles.dll: new, 54 bytes
check: every entry (6) reads whole and can be placed: ok
check: room on the volume of C:\\php\\ext for 1509 bytes (new and kept aside): ok
C:\\php\\\\php.ini: extension=php_articles.dll would be added
check: php.ini C:\\php\\\\php.ini can be read and replaced: ok
SQL import: \"C:\\PostgreSQL\\8.3\\bin\\psql.exe\" -f \"C:\\users\\USER\\Temp\\N\\brevoxil.sql.transaction\" corvantis root (brevoxil.sql in one transaction that stops at its first error)
check: the database client C:\\PostgreSQL\\8.3\\bin\\psql.exe is there: ok
registry HKEY_LOCAL_MACHINE\\Software\\Corvantis\\v2.1 \"InstallDir\" = C:\\Intranet would be written
check: the registry key HKEY_LOCAL_MACHINE\\Software\\Corvantis\\v2.1 can be written: ok
web server restart: \"C:\\Apache2.2\\bin\\httpd.exe\" -w -n \"Apache2.2\" -k restart
on a failure after the stop: the previous state is restored, then \"C:\\Apache2.2\\bin\\httpd.exe\" -w -n \"Apache2.2\" -k start
module row Articles: version 2.3.7 -> 2.3.8: UPDATE modules SET version='2.3.8',verdate='2010-05-31 02:03:08' WHERE name='Articles';
The update would go ahead." "$plan"
      same check-applies "standard error" "" "$(cat "$m.stderr")"
      ;;
    current)
      expect_status check-current 10 "$m"
      same check-current plan "$plan_head
installed Articles version: 2.3.8 (this package updates 2.3.7 to 2.3.8)
version gate: refused
Nothing to do: this server already runs Articles 2.3.8." "$plan"
      ;;
    damaged)
      expect_status check-damaged 7 "$m"
      same check-damaged plan "$plan_head
installed Articles version: 2.3.7 (this package updates 2.3.7 to 2.3.8)
$found
web server stop: \"C:\\Apache2.2\\bin\\httpd.exe\" -w -n \"Apache2.2\" -k stop
check: the web server's control program C:\\Apache2.2\\bin\\httpd.exe is there: ok
check: package C:\\Setup\\Data.kpv can be read: fails: local header 0 at offset 0 names \"Microsoft.VC90.CRT.manifest\": the file ends inside its data
check: php.ini C:\\php\\\\php.ini can be read and replaced: ok
SQL import: \"C:\\PostgreSQL\\8.3\\bin\\psql.exe\" -f \"C:\\users\\USER\\Temp\\N\\brevoxil.sql.transaction\" corvantis root (brevoxil.sql in one transaction that stops at its first error)
check: the database client C:\\PostgreSQL\\8.3\\bin\\psql.exe is there: ok
registry HKEY_LOCAL_MACHINE\\Software\\Corvantis\\v2.1 \"InstallDir\" = C:\\Intranet would be written
check: the registry key HKEY_LOCAL_MACHINE\\Software\\Corvantis\\v2.1 can be written: ok
web server restart: \"C:\\Apache2.2\\bin\\httpd.exe\" -w -n \"Apache2.2\" -k restart
on a failure after the stop: the previous state is restored, then \"C:\\Apache2.2\\bin\\httpd.exe\" -w -n \"Apache2.2\" -k start
module row Articles: version 2.3.7 -> 2.3.8: UPDATE modules SET version='2.3.8',verdate='2010-05-31 02:03:08' WHERE name='Articles';
The update would not go ahead: Invalid package! (package C:\\Setup\\Data.kpv can be read: local header 0 at offset 0 names \"Microsoft.VC90.CRT.manifest\": the file ends inside its data)" "$plan"
      same check-damaged "standard error" "ERROR: Invalid package!" "$(cat "$m.stderr")"
      ;;
  esac
  # The plan is in the log too, between the log's own lines.
  same "check-$server" "plan in the log" "$plan" \
    "$(normalized "$m.log" "$m" | grep -vE '^(run of|brevoxil|command line|installer folder|package: |InstallDir|status|DB Login|database|SQL: |SQL result|box|result|refused before any change)')"
  same "check-$server" machine "$before" "$(snapshot "$m")"
  same "check-$server" modules "$rows" "$(module_rows)"
  no_password "check-$server" "$m.log" "$m.stdout" "$m.stderr"
done

# A log that cannot be created is told, and the run goes on without it.
m=$(new_machine log-missing-folder)
run_unattended "$m" /check "/dbpass:$password" "/log:$work/no-such-folder/setup.log"
expect_status log-missing-folder 0 "$m"
log_path=$work/no-such-folder/setup.log
same log-missing-folder "standard error" "ERROR: Unable to create the log file $log_path.
cannot open the log $log_path: No such file or directory" "$(cat "$m.stderr")"

# The wizard closed before the install: 2, told in the log.
m=$(new_machine log-cancel)
run_setup "$m" 'c\ny\n' "/log:$m.log"
expect_status log-cancel 2 "$m"
same log-cancel "last line" "result: the wizard was closed before the install began; exit status 2" \
  "$(normalized "$m.log" "$m" | tail -1)"

# No machine: a prefix that is a plain file stays as it is; the gate finds
# nothing and the run ends with 7, saying why on standard error.
: >"$work/no-machine"
CORVANTIS_PREFIX=$work/no-machine timeout 20 "$BUILD/src/shell/setup" /verysilent \
  </dev/null >"$work/no-machine.out" 2>&1
status=$?
[ $status -eq 7 ] || fail "no-machine: exit status $status, expected 7"
same no-machine output "warning: cannot use the registry $work/no-machine/system.reg: Not a directory
ERROR: Unable to determine current base system version." "$(cat "$work/no-machine.out")"
[ -f "$work/no-machine" ] && [ ! -s "$work/no-machine" ] || fail "no-machine: the file was changed"

# /? and /help answer whatever else is given, and change nothing.
for switch in '/?' /HELP; do
  CORVANTIS_PREFIX=$work/no-machine timeout 20 "$BUILD/src/shell/setup" /verysilent "$switch" \
    </dev/null >"$work/help.out" 2>&1
  status=$?
  [ $status -eq 0 ] || fail "help $switch: exit status $status"
  head -1 "$work/help.out" | grep -qF 'setup [/silent | /verysilent | /check] [/log:FILE]' ||
    fail "help $switch: $(head -2 "$work/help.out")"
  for code in 0 1 2 4 5 7; do
    grep -qE "^$code  " "$work/help.out" || fail "help $switch: no exit status $code"
  done
done

finish
