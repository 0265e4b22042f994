#!/usr/bin/env bash
# The pre-flight and the install agree. On each machine of the table, /check
# runs on a copy and then the install on the machine itself: "would go
# ahead" exactly when the install succeeds; where /check refuses, the
# install refuses with the same reason, exit status 7, the web server never
# stopped and nothing changed. Rights cases run as an unprivileged user.
BUILD=$1
. "$(dirname "$0")/lib.sh"

as_user=()
if [ "$(id -u)" = 0 ]; then
  as_user=(runuser -u nobody --)
  chmod 0755 "$work"
fi

# A package made with Python's zipfile from the sample package, changed by
# the Python statement CHANGE, which sees `entries` (name -> bytes, in
# order) and `method` (name -> compression).
python_package() {
  python3 - "$top/samples/package" "$1" "$2" <<'PY'
import os, sys, zipfile
src, out, change = sys.argv[1:]
entries, method = {}, {}
for root, _, files in sorted(os.walk(src)):
    for f in sorted(files):
        path = os.path.join(root, f)
        entries[os.path.relpath(path, src)] = open(path, "rb").read()
exec(change)
with zipfile.ZipFile(out, "w") as z:
    for name, data in entries.items():
        info = zipfile.ZipInfo(name, (2010, 5, 31, 2, 3, 8))
        info.compress_type = method.get(name, zipfile.ZIP_STORED)
        z.writestr(info, data)
PY
}

# patch_package FILE PYTHON: the package's bytes `b` (a bytearray) changed
# in place by PYTHON.
patch_package() {
  python3 - "$1" "$2" <<'PY'
import struct, sys
path, change = sys.argv[1:]
b = bytearray(open(path, "rb").read())
exec(change)
open(path, "wb").write(b)
PY
}

# The boxes a run's log shows and the precondition it refused, with the
# machine's folder and the work folder's number made alike.
reasons() {
  grep -E '^ *[0-9.]+  (box |refused before any change)' "$1" | sed -E 's/^ *[0-9.]+  //' |
    sed -e "s|$2|PREFIX|g" -E -e 's/\\Temp\\[0-9]+/\\Temp\\N/g'
}

machines=0
# agree NAME WANT [RUNAS]: /check on a copy of $m, then the install on $m;
# WANT is the install's exit status (0 or 7).
agree() {
  local name=$1 want=$2 run=()
  [ "${3:-}" = user ] && run=("${as_user[@]}")
  machines=$((machines + 1))
  local copy=$work/$name-check
  cp -a "$m" "$copy"
  local before
  before=$(snapshot "$m" | grep -v ' \./drive_c/Setup/.*\.log$')
  (cd / && CORVANTIS_PREFIX=$copy timeout 120 "${run[@]}" "$copy/drive_c/Setup/setup" /check \
    /dbpass:unused "/log:$copy/drive_c/Setup/check.log" >"$copy.out" 2>&1)
  local check=$?
  [ "$(snapshot "$copy" | grep -v ' \./drive_c/Setup/.*\.log$')" = "$before" ] ||
    fail "$name: /check changed the machine"
  (cd / && CORVANTIS_PREFIX=$m timeout 120 "${run[@]}" "$m/drive_c/Setup/setup" /verysilent \
    /dbpass:unused "/log:$m/drive_c/Setup/install.log" >"$m.out" 2>&1)
  status=$?
  local last
  last=$(tail -1 "$copy.out")
  if [ "$check" -ne "$want" ] || [ "$status" -ne "$want" ]; then
    fail "$name: /check $check, install $status, expected $want; /check said: $last"
    sed 's/^/    | /' "$m.out" | tail -8
    return
  fi
  if [ "$want" -eq 0 ]; then
    [ "$last" = "The update would go ahead." ] || fail "$name: /check ended with: $last"
    [ "$(module_rows | cut -d'|' -f2)" = 2.3.8 ] || fail "$name: module row $(module_rows)"
    [ "$(control_log "$m" | tr '\n' ' ')" = "httpd.exe -w -n Apache2.2 -k stop httpd.exe -w -n Apache2.2 -k restart " ] ||
      fail "$name: web server commands: $(control_log "$m")"
    return
  fi
  # The same reason: the same boxes, the same precondition refused; and
  # nothing changed.
  local reason=${last#The update would not go ahead: }
  [ "$reason" != "$last" ] || fail "$name: /check ended with: $last"
  [ "$(reasons "$copy/drive_c/Setup/check.log" "$copy")" = "$(reasons "$m/drive_c/Setup/install.log" "$m")" ] ||
    fail "$name: other reasons: $(diff <(reasons "$copy/drive_c/Setup/check.log" "$copy") <(reasons "$m/drive_c/Setup/install.log" "$m") | head -4)"
  [ -z "$(control_log "$m")" ] || fail "$name: the web server was stopped"
  [ "$(snapshot "$m" | grep -v ' \./drive_c/Setup/.*\.log$')" = "$before" ] ||
    fail "$name: the install changed the machine"
  [ "$(module_rows | cut -d'|' -f2)" = "${4:-2.3.7}" ] || fail "$name: module row $(module_rows)"
  [ -n "${expect_reason:-}" ] && { [[ "$reason" == *"$expect_reason"* ]] ||
    fail "$name: reason '$reason', expected '$expect_reason'"; }
  expect_reason=
}
expect_reason=
kpv=$BUILD/tools/kpv/kpv
intranet() { echo "$m/drive_c/Intranet"; }

# The happy roads.
m=$(new_machine fresh) && agree fresh 0
m=$(new_machine replaces)
mkdir -p "$(intranet)/articles" && echo old >"$(intranet)/articles/index.php"
agree replaces 0
m=$(new_machine extension-present)
printf 'extension=php_articles.dll\r\n' >>"$m/drive_c/php/php.ini"
agree extension-present 0
m=$(new_machine no-extension-lines)
python_package "$m/drive_c/Setup/Data.kpv" 'del entries["php_articles.dll"]'
agree no-extension-lines 0
m=$(new_machine as-user)
chown -R nobody "$m" 2>/dev/null
agree as-user 0 user

# The gate's refusals and the detection's.
m=$(new_machine no-apache)
sed -i '/Apache Software Foundation/,/^$/d' "$m/system.reg"
expect_reason="Apache does not appear" agree no-apache 7
m=$(new_machine no-php-line)
sed -i '/php5_module/d' "$m/drive_c/Apache2.2/conf/httpd.conf"
expect_reason="PHP does not appear" agree no-php-line 7
m=$(new_machine base-too-old)
printf '2.3.5\r\n' >"$(intranet)/include/templates/version.dat"
agree base-too-old 7
m=$(new_machine no-version-file)
rm "$(intranet)/include/templates/version.dat"
agree no-version-file 7
m=$(new_machine already-current)
psql -X -q -d corvantis -c "UPDATE modules SET version = '2.3.8'"
agree already-current 7 '' 2.3.8
m=$(new_machine no-postgresql)
sed -i '/PostgreSQL/,/^$/d' "$m/system.reg"
expect_reason="PostgreSQL Server does not appear" agree no-postgresql 7

# Each precondition failing alone.
m=$(new_machine no-httpd)
rm "$m/drive_c/Apache2.2/bin/httpd.exe"
expect_reason="httpd.exe cannot be found" agree no-httpd 7
m=$(new_machine no-script)
python_package "$m/drive_c/Setup/Data.kpv" 'del entries["brevoxil.sql"]'
expect_reason="brevoxil.sql" agree no-script 7
# The script under another spelling: psql.exe would not find it on a host
# whose names keep their letter case.
m=$(new_machine script-spelling)
python_package "$m/drive_c/Setup/Data.kpv" 'entries["BREVOXIL.SQL"] = entries.pop("brevoxil.sql")'
expect_reason="brevoxil.sql" agree script-spelling 7
m=$(new_machine no-psql)
rm "$m/drive_c/PostgreSQL/8.3/bin/psql.exe"
expect_reason="An error occured whilst trying to import" agree no-psql 7
m=$(new_machine php-ini-read-only)
chmod 0444 "$m/drive_c/php/php.ini" && chown -R nobody "$m" 2>/dev/null
expect_reason="Cannot create file C:\\php\\\\php.ini" agree php-ini-read-only 7 user
m=$(new_machine php-ini-missing)
rm "$m/drive_c/php/php.ini"
expect_reason="Cannot open file C:\\php\\\\php.ini" agree php-ini-missing 7
m=$(new_machine php-ini-folder)
rm "$m/drive_c/php/php.ini" && mkdir "$m/drive_c/php/php.ini"
expect_reason="Cannot open file" agree php-ini-folder 7
m=$(new_machine php-ini-fifo)
rm "$m/drive_c/php/php.ini" && mkfifo "$m/drive_c/php/php.ini"
expect_reason="Cannot open file" agree php-ini-fifo 7
m=$(new_machine php-folder-missing)
rm -r "$m/drive_c/php"
expect_reason="Cannot open file" agree php-folder-missing 7
m=$(new_machine ext-a-file)
rmdir "$m/drive_c/php/ext" && echo x >"$m/drive_c/php/ext"
expect_reason="Could not create target" agree ext-a-file 7
m=$(new_machine folder-at-target)
mkdir -p "$(intranet)/articles/index.php"
expect_reason="a folder is there" agree folder-at-target 7
m=$(new_machine fifo-at-target)
mkdir -p "$(intranet)/articles" && mkfifo "$(intranet)/articles/edit.php"
expect_reason="a pipe or device is there" agree fifo-at-target 7
m=$(new_machine file-on-the-way)
echo x >"$(intranet)/articles"
expect_reason="a file is in the way" agree file-on-the-way 7
m=$(new_machine temp-a-file)
echo x >"$m/drive_c/users"
expect_reason="a file is in the way" agree temp-a-file 7
m=$(new_machine target-read-only)
mkdir -p "$(intranet)/articles" && echo old >"$(intranet)/articles/index.php"
chmod 0444 "$(intranet)/articles/index.php" && chown -R nobody "$m" 2>/dev/null
chown root "$(intranet)/articles/index.php" 2>/dev/null
expect_reason="Could not create target" agree target-read-only 7 user
m=$(new_machine intranet-not-writable)
chown -R nobody "$m" 2>/dev/null && chown root "$(intranet)" 2>/dev/null && chmod 0555 "$(intranet)"
expect_reason="no folder can be made in" agree intranet-not-writable 7 user
m=$(new_machine registry-read-only)
chown -R nobody "$m" 2>/dev/null && chown root "$m/system.reg" 2>/dev/null && chmod 0444 "$m/system.reg"
agree registry-read-only 7 user
m=$(new_machine crc-damaged)
patch_package "$m/drive_c/Setup/Data.kpv" 'i = b.find(b"<?php"); b[i] ^= 1'
expect_reason="Could not read from Zip file" agree crc-damaged 7
m=$(new_machine deflated)
python_package "$m/drive_c/Setup/Data.kpv" 'method["articles/index.php"] = zipfile.ZIP_DEFLATED'
expect_reason="An error occured" agree deflated 7
m=$(new_machine encrypted)
"$kpv" pack "$top/samples/package" "$m/drive_c/Setup/Data.kpv" --password secret >/dev/null
expect_reason="Invalid password" agree encrypted 7
m=$(new_machine file-before-folder)
python_package "$m/drive_c/Setup/Data.kpv" 'entries = {"articles": b"x", **entries}'
expect_reason="an earlier entry is placed as a file" agree file-before-folder 7
m=$(new_machine dots-only)
python_package "$m/drive_c/Setup/Data.kpv" 'entries["./."] = b"x"'
expect_reason="the name names no file" agree dots-only 7
m=$(new_machine sizes-disagree)
# The central record of the first entry says one byte more than its local
# header, which the walk reads.
patch_package "$m/drive_c/Setup/Data.kpv" \
  'i = b.find(b"PK\x01\x02"); s = struct.unpack_from("<I", b, i + 24)[0]; struct.pack_into("<II", b, i + 20, s + 1, s + 1); b[i + 8] |= 8; j = 0; b[j + 6] |= 8'
agree sizes-disagree 7
m=$(new_machine ini-breaking-name)
python_package "$m/drive_c/Setup/Data.kpv" 'entries["php_a;b.dll"] = b"MZ"'
expect_reason="Invalid package!" agree ini-breaking-name 7
m=$(new_machine not-a-package)
head -c 1000 /dev/urandom >"$m/drive_c/Setup/Data.kpv"
expect_reason="Invalid package!" agree not-a-package 7

# Several failing together: the first in the order of the steps is named.
m=$(new_machine httpd-and-php-ini)
rm "$m/drive_c/Apache2.2/bin/httpd.exe" && rm "$m/drive_c/php/php.ini"
expect_reason="httpd.exe cannot be found" agree httpd-and-php-ini 7
m=$(new_machine crc-and-psql)
patch_package "$m/drive_c/Setup/Data.kpv" 'i = b.find(b"<?php"); b[i] ^= 1'
rm "$m/drive_c/PostgreSQL/8.3/bin/psql.exe"
expect_reason="Could not read from Zip file" agree crc-and-psql 7
m=$(new_machine folder-and-psql)
mkdir -p "$(intranet)/articles/index.php"
rm "$m/drive_c/PostgreSQL/8.3/bin/psql.exe"
expect_reason="a folder is there" agree folder-and-psql 7
m=$(new_machine no-install-dir)
sed -i 's/^"InstallDir"=.*//' "$m/system.reg"
expect_reason="Unable to determine current base system version" agree no-install-dir 7

[ "$machines" -ge 30 ] || fail "only $machines machines"
finish
