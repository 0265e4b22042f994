#!/usr/bin/env bash
# The password given in a file is seen by no other user while the install
# runs; the log's path is the user's own: appended to, taken as typed,
# refused where it is one of the run's files, and a failed write is told.
BUILD=$1
. "$(dirname "$0")/lib.sh"

password=Pw-File-e2e-7731

# run_quiet PREFIX ARGS...: setup with no input; standard output and error
# to PREFIX.stdout and PREFIX.stderr, the status in $status.
run_quiet() {
  local prefix=$1
  shift
  CORVANTIS_PREFIX=$prefix timeout 120 "$prefix/drive_c/Setup/setup" "$@" \
    </dev/null >"$prefix.stdout" 2>"$prefix.stderr"
  status=$?
}

# The password in a file; while psql.exe runs, an unprivileged user lists
# every process with its command line and environment (the listing's own
# processes start with an empty environment: psql.exe has the password in
# its own, as PGPASSWORD, which only its user may read).
if [ "$(id -u)" -eq 0 ] && command -v runuser >/dev/null && command -v ps >/dev/null; then
  m=$(new_machine password-file)
  install_stand_ins "$m"
  listing=$work/listing.txt
  : >"$listing" && chmod 666 "$listing"
  psql_exe=$m/drive_c/PostgreSQL/8.3/bin/psql.exe
  mv "$psql_exe" "$psql_exe.real"
  cat >"$psql_exe" <<END
#!/bin/sh
env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin runuser -u nobody -- sh -c 'ps -ef; for p in /proc/[0-9]*; do cat \$p/cmdline \$p/environ; echo; done' \
  >>"$listing" 2>/dev/null
exec "\$(dirname "\$0")/psql.exe.real" "\$@"
END
  chmod +x "$psql_exe"
  printf '%s\r\nnot this line\n' "$password" >"$work/password.txt"
  chmod 600 "$work/password.txt"
  run_quiet "$m" /verysilent "/dbpassfile:$work/password.txt" "/log:$m.log"
  expect_status password-file 0 "$m"
  [ "$(module_rows)" = "Articles|2.3.8|2010-05-31 02:03:08" ] || fail "password-file: modules: $(module_rows)"
  grep -qF -- "/verysilent /dbpassfile:$work/password.txt /log:" "$listing" ||
    fail "password-file: the listing does not show the installer: $(head -3 "$listing")"
  grep -lF -- "$password" "$listing" "$m.log" "$m.stdout" "$m.stderr" &&
    fail "password-file: the password was seen"
else
  echo "SKIP: password-file: needs root, runuser and ps to list processes as another user"
fi

# The log appends: a second run keeps the first one's lines.
m=$(new_machine log-appends)
printf 'a line of before\n' >"$m.log"
run_quiet "$m" /check /dbpass:unused "/log:$m.log"
run_quiet "$m" /check /dbpass:unused "/log:$m.log"
[ "$(head -1 "$m.log")" = "a line of before" ] || fail "log-appends: the earlier content is gone"
[ "$(grep -c ' run of brevoxil - Articles Module Update 2.3.8 started ' "$m.log")" -eq 2 ] ||
  fail "log-appends: not two runs: $(grep -c 'run of' "$m.log")"
[ "$(grep -c 'result: the update would go ahead; exit status 0' "$m.log")" -eq 2 ] ||
  fail "log-appends: not two results"

# A case twin of an existing file, in a folder whose name differs in case
# only: the path is taken as typed, so the twin is never touched.
m=$(new_machine log-case-twin)
mkdir -p "$work/Other" && printf 'keep\n' >"$work/Other/notes.txt"
run_quiet "$m" /check /dbpass:unused "/log:$work/other/NOTES.TXT"
expect_status log-case-twin 0 "$m"
grep -qF "cannot open the log $work/other/NOTES.TXT: No such file or directory" "$m.stderr" ||
  fail "log-case-twin: not told: $(cat "$m.stderr")"
run_quiet "$m" /check /dbpass:unused "/log:$work/Other/NOTES.TXT"
[ "$(cat "$work/Other/notes.txt")" = keep ] || fail "log-case-twin: notes.txt changed"
grep -q 'exit status 0' "$work/Other/NOTES.TXT" || fail "log-case-twin: NOTES.TXT holds no log"

# A folder, or a path ending in a separator, is no log.
m=$(new_machine log-folder)
run_quiet "$m" /check /dbpass:unused "/log:$work/new-log/"
expect_status log-folder 0 "$m"
grep -qF "cannot open the log $work/new-log/: Is a directory" "$m.stderr" ||
  fail "log-folder: not told: $(cat "$m.stderr")"
[ ! -e "$work/new-log" ] || fail "log-folder: something was made at $work/new-log"

# php.ini as the log, by its name or through a link: refused before
# anything is written, and the run goes on without a log.
for how in name link; do
  m=$(new_machine "log-php-ini-$how")
  php_ini=$m/drive_c/php/php.ini
  before=$(sha256sum <"$php_ini")
  log=$php_ini
  [ $how = link ] && ln -s "$php_ini" "$work/php-ini-link.log" && log=$work/php-ini-link.log
  run_quiet "$m" /verysilent /dbpass:unused "/log:$log"
  expect_status "log-php-ini-$how" 0 "$m"
  grep -qF "ERROR: The log file $log is C:\\php\\php.ini, which this run reads or writes: the run goes on without a log." "$m.stderr" ||
    fail "log-php-ini-$how: not told: $(cat "$m.stderr")"
  grep -q 'run of' "$php_ini" && fail "log-php-ini-$how: the log was written into php.ini"
  grep -q '^extension=php_articles.dll' "$php_ini" || fail "log-php-ini-$how: the install did not run"
done

# The machine's registry file is no log either.
m=$(new_machine log-registry)
before=$(sha256sum <"$m/system.reg")
run_quiet "$m" /check /dbpass:unused "/log:$m/system.reg"
expect_status log-registry 0 "$m"
grep -qF "cannot open the log $m/system.reg: it is the registry of the machine" "$m.stderr" ||
  fail "log-registry: not told: $(cat "$m.stderr")"
[ "$(sha256sum <"$m/system.reg")" = "$before" ] || fail "log-registry: system.reg changed"

# A disk that is full: told once, and at the end that the log is incomplete.
m=$(new_machine log-full)
run_quiet "$m" /check /dbpass:unused /log:/dev/full
expect_status log-full 0 "$m"
[ "$(grep -c 'Unable to write the log file /dev/full' "$m.stderr")" -eq 1 ] ||
  fail "log-full: not told once: $(cat "$m.stderr")"
[[ "$(tail -1 "$m.stderr")" == "setup: the log file /dev/full is incomplete: it lacks every line after "*" s." ]] ||
  fail "log-full: last line: $(tail -1 "$m.stderr")"

# /dev/stdout, in a mount namespace of its own with a /dev of its own: the
# log follows the link to the standard output, and the link stays. (The
# output is appended to, as the log is, so neither overwrites the other.)
m=$(new_machine log-dev-stdout)
if [ "$(id -u)" -eq 0 ] && unshare -m true 2>/dev/null; then
  CORVANTIS_PREFIX=$m timeout 120 unshare -m --propagation private sh -c '
    mount -t tmpfs tmpfs /dev || exit 99
    mknod -m 666 /dev/null c 1 3
    ln -s /proc/self/fd/1 /dev/stdout
    "$0" /verysilent /dbpass:unused /log:/dev/stdout </dev/null
    echo "status $?"
    [ -L /dev/stdout ] && echo "still a link"' "$m/drive_c/Setup/setup" >>"$m.out" 2>&1
  grep -q 'run of brevoxil - Articles Module Update 2.3.8 started' "$m.out" ||
    fail "log-dev-stdout: no log on the standard output: $(tail -5 "$m.out")"
  grep -q 'status 0' "$m.out" || fail "log-dev-stdout: $(tail -3 "$m.out")"
  grep -qx 'still a link' "$m.out" || fail "log-dev-stdout: /dev/stdout was replaced"
else
  echo "SKIP: log-dev-stdout: needs root and unshare -m"
fi

finish
