#!/usr/bin/env bash
# A real deployment tool drives the installer: ansible-playbook, with the
# local connection, over three prefixes standing for three servers, each
# with its own database server: one where the update applies, one already
# at 2.3.8, one whose package has a damaged entry, one whose SQL script
# fails inside the database (only the install can find that: it restores
# the server and fails). First in check mode (the
# pre-flight /check: nothing may change), then for real (/verysilent with
# /log:). The play recap says what the exit statuses say, and each server's
# log holds its story.
#   DeployTest.sh BUILD_DIR
set -uo pipefail
BUILD=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
. "$top/scripts/lib/prefix.sh"

command -v ansible-playbook >/dev/null || { echo "FAIL: no ansible-playbook (scripts/deps)"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/corvantis-deploy.XXXXXX")
servers=(applies current damaged failing)
cleanup() {
  for s in "${servers[@]}"; do "$top/scripts/pg-server" stop "$work/pg-$s" >/dev/null 2>&1; done
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
password=Deploy-Pw-4711

# The three servers: a machine and a database server each.
inventory=$work/inventory.ini
{
  echo "[intranet]"
  for s in "${servers[@]}"; do
    "$top/scripts/pg-server" start "$work/pg-$s" >/dev/null || { echo "FAIL: $s: no database server"; exit 1; }
    (set -a; . "$work/pg-$s/env"; echo "server-$s prefix=$work/$s pg_host=$PGHOST pg_port=$PGPORT")
    make_prefix "$work/$s" "$BUILD"
  done
  echo
  echo "[intranet:vars]"
  echo "ansible_connection=local"
  echo "ansible_python_interpreter=$(command -v python3)"
  echo "setup=C_SETUP"
  echo "db_password=$password"
  echo "log_dir=$work/logs"
} >"$inventory"
# The installer lies in each machine's C:\Setup.
sed -i 's|setup=C_SETUP|setup={{ prefix }}/drive_c/Setup/setup|' "$inventory"
mkdir -p "$work/logs"

# psql against one server: psql_on SERVER ARGS...
psql_on() {
  local s=$1
  shift
  (set -a; . "$work/pg-$s/env"; psql -X -q -At -d corvantis "$@")
}
rows() { psql_on "$1" -c "SELECT name, version FROM modules ORDER BY ctid"; }

psql_on current -c "UPDATE modules SET version = '2.3.8'"
# One byte of articles/index.php's data flipped: the directory reads well,
# the entry's CRC-32 does not match.
python3 - "$work/damaged/drive_c/Setup/Data.kpv" <<'PY'
import struct, sys, zipfile
path = sys.argv[1]
with zipfile.ZipFile(path) as z:
    info = z.getinfo("articles/index.php")
data = bytearray(open(path, "rb").read())
name_length, extra_length = struct.unpack_from("<HH", data, info.header_offset + 26)
data[info.header_offset + 30 + name_length + extra_length] ^= 0x20
open(path, "wb").write(data)
PY

snapshot() {
  (cd "$1" && { find . -printf '%y %m %p\n'; find . -type f -print0 | xargs -0 -r sha256sum; } |
    LC_ALL=C sort)
}

# A package whose script stops in its middle: a table made, then a
# statement on a table that does not exist.
mkdir -p "$work/failing-package"
cp -a "$top/samples/package/." "$work/failing-package/"
printf 'CREATE TABLE deploy_half (id integer);\nSELECT * FROM no_such_table;\n' \
  >>"$work/failing-package/brevoxil.sql"
"$BUILD/tools/kpv/kpv" pack "$work/failing-package" "$work/failing/drive_c/Setup/Data.kpv" >/dev/null
# A machine without the run's work folders, which a failed run keeps, and
# the stand-ins' own logs.
unrun() { grep -v -e ' \./drive_c/users\(/\|$\)' -e ' \./drive_c/[A-Za-z0-9.]*/[0-9.]*/*logs'; }

# play [--check]: runs the playbook; its output in $work/play.out.
play() {
  ANSIBLE_HOME=$work/ansible ANSIBLE_LOCAL_TEMP=$work/ansible/tmp \
    ANSIBLE_REMOTE_TEMP=$work/ansible/remote ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0 \
    ANSIBLE_STDOUT_CALLBACK=default ANSIBLE_LOAD_CALLBACK_PLUGINS=0 \
    timeout 300 ansible-playbook -i "$inventory" "$here/site.yml" "$@" >"$work/play.out" 2>&1
}

# recap SERVER: "ok=N changed=N failed=N" from the play recap.
recap() {
  sed -nE "s/^server-$1 +: ok=([0-9]+) +changed=([0-9]+) +unreachable=[0-9]+ +failed=([0-9]+).*/ok=\1 changed=\2 failed=\3/p" \
    "$work/play.out"
}

# expect_recap MODE SERVER WANT
expect_recap() {
  [ "$(recap "$2")" = "$3" ] || fail "$1: server-$2: recap '$(recap "$2")', expected '$3'"
}

# holds NAME FILE LINE...: FILE holds each LINE, in this order.
holds() {
  local name=$1 file=$2
  shift 2
  local at=0 line n
  for line in "$@"; do
    n=$(grep -nF -- "$line" "$file" | cut -d: -f1 | awk -v a="$at" '$1 > a { print; exit }')
    if [ -z "$n" ]; then
      fail "$name: '$line' not in $(basename "$file") after line $at"
      return
    fi
    at=$n
  done
}

# Check mode: /check on every server, and nothing changes anywhere.
for s in "${servers[@]}"; do
  snapshot "$work/$s" >"$work/$s.before"
  rows "$s" >"$work/$s.rows"
done
play --check
status=$?
[ $status -eq 0 ] || fail "check mode: ansible-playbook exit status $status"
# The pre-flight reads every entry's data: the damaged one is found there.
# The password file's copy and removal are ok in every recap.
expect_recap check applies "ok=3 changed=1 failed=0"
expect_recap check current "ok=3 changed=0 failed=0"
expect_recap check damaged "ok=3 changed=0 failed=0"
expect_recap check failing "ok=3 changed=1 failed=0"
for s in "${servers[@]}"; do
  [ "$(snapshot "$work/$s")" = "$(cat "$work/$s.before")" ] || fail "check mode: server-$s changed"
  [ "$(rows "$s")" = "$(cat "$work/$s.rows")" ] || fail "check mode: server-$s: modules changed"
  [ ! -e "$work/logs/server-$s.log" ] || fail "check mode: server-$s was installed"
  [ ! -e "$work/$s.dbpass" ] || fail "check mode: server-$s: the password file was left"
done
holds check-applies "$work/logs/server-applies-check.log" \
  "command line: /check /dbpassfile:*** /log:$work/logs/server-applies-check.log" \
  "installed Articles version: 2.3.7" "version gate: go ahead" \
  "entry articles/index.php -> C:\\Intranet\\articles/index.php: new, 325 bytes" \
  "module row Articles: version 2.3.7 -> 2.3.8" "The update would go ahead." \
  "result: the update would go ahead; exit status 0"
holds check-current "$work/logs/server-current-check.log" \
  "installed Articles version: 2.3.8" "This module is already installed. Re-install?" \
  "box answered: No" \
  "Nothing to do: this server already runs Articles 2.3.8." \
  "result: nothing to do: the server already runs this version; exit status 10"

holds check-damaged "$work/logs/server-damaged-check.log" \
  "version gate: go ahead" \
  "entry articles/index.php -> C:\\Intranet\\articles/index.php: cannot be placed: Could not read from Zip file" \
  "The update would not go ahead: Could not read from Zip file (entry articles/index.php can be read from the package: Could not read from Zip file)" \
  "result: the update would not go ahead; exit status 7"

# For real: the install says what the pre-flight said, on every server.
play
status=$?
[ $status -eq 2 ] || fail "install: ansible-playbook exit status $status, expected 2 (a host failed)"
expect_recap install applies "ok=3 changed=1 failed=0"
expect_recap install current "ok=3 changed=0 failed=0"
expect_recap install damaged "ok=3 changed=0 failed=0"
expect_recap install failing "ok=2 changed=0 failed=1"
for s in "${servers[@]}"; do
  [ ! -e "$work/$s.dbpass" ] || fail "install: server-$s: the password file was left"
done
[ "$(rows applies)" = "Articles|2.3.8" ] || fail "install: server-applies: modules $(rows applies)"
[ "$(rows current)" = "Articles|2.3.8" ] || fail "install: server-current: modules $(rows current)"
[ "$(rows damaged)" = "Articles|2.3.7" ] || fail "install: server-damaged: modules $(rows damaged)"
[ "$(rows failing)" = "Articles|2.3.7" ] || fail "install: server-failing: modules $(rows failing)"
[ -z "$(psql_on failing -c "SELECT 1 FROM pg_tables WHERE tablename = 'deploy_half'")" ] ||
  fail "install: server-failing: the failed script left a table"
[ "$(snapshot "$work/failing" | unrun)" = "$(unrun <"$work/failing.before")" ] ||
  fail "install: server-failing: not restored: $(diff <(unrun <"$work/failing.before") <(snapshot "$work/failing" | unrun) | head -5)"
holds install-applies "$work/logs/server-applies.log" \
  "version gate: go ahead" "run: \"C:\\Apache2.2\\bin\\httpd.exe\" -w -n \"Apache2.2\" -k stop" \
  "placed articles/index.php as C:\\Intranet\\articles/index.php, 325 bytes, new" \
  "C:\\php\\\\php.ini: extension=php_articles.dll added" "run: \"C:\\PostgreSQL\\8.3\\bin\\psql.exe\"" \
  "exit status 0 after" "\"InstallDir\" = C:\\Intranet written" "-k restart" \
  "SQL: UPDATE modules SET version='2.3.8',verdate='2010-05-31 02:03:08' WHERE name='Articles';" \
  "SQL done" "result: the install succeeded; exit status 0"
holds install-current "$work/logs/server-current.log" \
  "SQL result: 1 row(s), version '2.3.8'" "This module is already installed. Re-install?" \
  "box answered: No" "version gate: refused" \
  "result: nothing to do: the server already runs this version; exit status 10"
grep -q -- "-k stop" "$work/logs/server-current.log" && fail "install-current: the web server was stopped"
holds install-damaged "$work/logs/server-damaged.log" \
  "version gate: go ahead" \
  "check: entry articles/index.php can be read from the package: fails: Could not read from Zip file" \
  "box \"ERROR\" MB_OK|MB_ICONERROR: Could not read from Zip file" "box answered: OK" \
  "result: the update did not go ahead; nothing was changed; exit status 7"
grep -q -- "-k stop" "$work/logs/server-damaged.log" && fail "install-damaged: the web server was stopped"
grep -qE "^ *[0-9.]+  placed " "$work/logs/server-damaged.log" && fail "install-damaged: an entry was placed"

holds install-failing "$work/logs/server-failing.log" \
  "version gate: go ahead" "-k stop" "placed articles/index.php" \
  "no_such_table" "-k start" "exit status 5"
grep -q -- "-k restart" "$work/logs/server-failing.log" && fail "install-failing: the web server was restarted"

if grep -rlF -- "$password" "$work/logs" "$work/play.out"; then
  fail "the password was written"
fi
if [ "$failures" -ne 0 ]; then
  echo "--- the play:"
  tail -40 "$work/play.out"
  echo "$failures failure(s)"
  exit 1
fi
echo "all passed"
