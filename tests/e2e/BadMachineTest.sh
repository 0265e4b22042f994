#!/usr/bin/env bash
# The installer's other inputs damaged: the registry file, httpd.conf, the
# base version file and php.ini; pipes, devices and links where it reads or
# writes. Each case ends with its message and exit status in bounded time,
# and changes nothing but what the install had written by then; nothing
# outside the prefix changes.
BUILD=$1
. "$(dirname "$0")/lib.sh"

# What the install may have written when it stops while unpacking or after.
written=' \./drive_c/(Intranet|php/ext|users|Apache2\.2/logs)(/|$)'

# check NAME STATUS TEXT [FOLDERS]: runs setup unattended on the machine $m
# (already damaged) and checks its exit status, that TEXT was shown, and
# that nothing changed outside the folders the install writes (and the
# extended regular expression FOLDERS).
check() {
  local name=$1 want=$2 text=$3 written=$written${4:+|$4}
  local before
  before=$(snapshot "$m" | grep -vE "$written")
  run_setup "$m" '' /silent /dbpass:unused
  expect_status "$name" "$want" "$m"
  grep -qF -- "$text" "$m.out" || fail "$name: '$text' not shown: $(grep -A1 -- '^--- ' "$m.out" | head -4 | cut -c1-100 | tr '\n' ' ')"
  [ "$(snapshot "$m" | grep -vE "$written")" = "$before" ] || fail "$name: changed outside the install's folders"
  grep -qE 'AddressSanitizer|LeakSanitizer|runtime error:' "$m.out" && fail "$name: sanitizer report"
  psql -X -q -d corvantis -c "UPDATE modules SET version = '2.3.7'" || fail "$name: reset"
}

# Files outside the prefix that links inside it point at: never written.
outside=$work/outside
mkdir -p "$outside"
echo "keep" >"$outside/sentinel.txt"
echo "keep" >"$outside/hard.txt"
outside_before=$(snapshot "$outside")

# A registry file that is not one: left alone, and read as empty. The
# install ends before it changes anything, so it makes no temp folder.
m=$(new_machine registry-garbage)
head -c 4096 /dev/urandom >"$m/system.reg"
check registry-garbage 7 "Apache does not appear to be installed on this computer."
[ -e "$m/drive_c/users" ] && fail "registry-garbage: a temp folder was made"

# Pipes and devices where the installer reads: refused at once, as a file
# that cannot be opened (a pipe with no writer would block an open).
m=$(new_machine registry-fifo)
rm "$m/system.reg" && mkfifo "$m/system.reg"
check registry-fifo 7 "Apache does not appear to be installed on this computer."
m=$(new_machine httpd-conf-fifo)
rm "$m/drive_c/Apache2.2/conf/httpd.conf" && mkfifo "$m/drive_c/Apache2.2/conf/httpd.conf"
check httpd-conf-fifo 7 "Cannot open file C:\\Apache2.2\\conf\\httpd.conf"
m=$(new_machine httpd-conf-zero)
ln -sf /dev/zero "$m/drive_c/Apache2.2/conf/httpd.conf"
check httpd-conf-zero 7 "Cannot open file C:\\Apache2.2\\conf\\httpd.conf"
m=$(new_machine package-fifo)
rm "$m/drive_c/Setup/Data.kpv" && mkfifo "$m/drive_c/Setup/Data.kpv"
check package-fifo 7 "Invalid package!"
# Refused before the web server is stopped.
[ -z "$(control_log "$m")" ] || fail "package-fifo: $(control_log "$m")"
m=$(new_machine package-zero)
ln -sf /dev/zero "$m/drive_c/Setup/Data.kpv"
check package-zero 7 "Invalid package!"
m=$(new_machine version-fifo)
version=$m/drive_c/Intranet/include/templates/version.dat
rm "$version" && mkfifo "$version"
check version-fifo 7 "Unable to determine current base system version."
m=$(new_machine php-ini-fifo)
rm "$m/drive_c/php/php.ini" && mkfifo "$m/drive_c/php/php.ini"
check php-ini-fifo 7 "Cannot open file C:\\php\\\\php.ini"
# A pipe where an entry is to be placed: not created, found before the
# web server's stop.
m=$(new_machine entry-fifo)
mkdir -p "$m/drive_c/Intranet/articles" && mkfifo "$m/drive_c/Intranet/articles/edit.php"
check entry-fifo 7 "Could not create target"
[ -z "$(control_log "$m")" ] || fail "entry-fifo: the web server was stopped"
# A file of more than 64 MiB read as lines.
m=$(new_machine httpd-conf-huge)
head -c $(((64 << 20) + 1)) /dev/zero | tr '\0' '#' >"$m/drive_c/Apache2.2/conf/httpd.conf"
check httpd-conf-huge 7 "Cannot open file C:\\Apache2.2\\conf\\httpd.conf"

# The product key's "InstallDir" of the wrong type: the fault ends the
# wizard before the install.
m=$(new_machine registry-dword)
sed -i 's/^"InstallDir"=.*/"InstallDir"=dword:00000001/' "$m/system.reg"
check registry-dword 2 "Invalid data type for 'InstallDir'"

# A PHP folder of 200,000 folders: no path can hold it, so its extension
# folder could never be made; refused before anything is made.
m=$(new_machine httpd-conf-deep)
python3 -c "print('LoadModule php5_module C:\\\\' + 'a\\\\' * 200000 + 'php5apache2_2.dll')" \
  >"$m/drive_c/Apache2.2/conf/httpd.conf"
check httpd-conf-deep 7 "Could not create target"
[ -e "$m/drive_c/a" ] && fail "httpd-conf-deep: a folder was made"

m=$(new_machine httpd-conf-empty)
: >"$m/drive_c/Apache2.2/conf/httpd.conf"
check httpd-conf-empty 7 "PHP does not appear to be installed in Apache on this computer."

# A module named without a folder: no PHP folder to write to, refused
# before the web server is stopped.
m=$(new_machine httpd-conf-no-folder)
sed -i 's|^LoadModule php5_module .*|LoadModule php5_module "php5apache2_2.dll"|' \
  "$m/drive_c/Apache2.2/conf/httpd.conf"
check httpd-conf-no-folder 7 "PHP does not appear to be installed in Apache on this computer."
[ -z "$(control_log "$m")" ] || fail "httpd-conf-no-folder: the web server was stopped"

m=$(new_machine httpd-conf-missing)
rm "$m/drive_c/Apache2.2/conf/httpd.conf"
check httpd-conf-missing 7 "Cannot open file C:\\Apache2.2\\conf\\httpd.conf"

m=$(new_machine version-garbage)
printf '2.3.x\r\n' >"$m/drive_c/Intranet/include/templates/version.dat"
check version-garbage 7 "is not a valid integer value"

m=$(new_machine version-binary)
head -c 70000 /dev/zero | tr '\0' 'q' >"$m/drive_c/Intranet/include/templates/version.dat"
check version-binary 7 "is not a valid integer value"

# php.ini that cannot be read: found before the web server's stop.
m=$(new_machine php-ini-folder)
rm "$m/drive_c/php/php.ini"
mkdir "$m/drive_c/php/php.ini"
check php-ini-folder 7 "Cannot open file C:\\php\\\\php.ini"
[ -z "$(control_log "$m")" ] || fail "php-ini-folder: $(control_log "$m")"

# installs NAME MACHINE: an unattended install that succeeds.
installs() {
  run_setup "$2" '' /silent /dbpass:unused
  expect_status "$1" 0 "$2"
  psql -X -q -d corvantis -c "UPDATE modules SET version = '2.3.7'" || fail "$1: reset"
}

# Links where entries are placed: each is replaced by the entry's file, and
# what it pointed at outside is untouched, or not created.
m=$(new_machine entry-links)
intranet=$m/drive_c/Intranet
mkdir -p "$intranet/articles"
ln -s "$outside/sentinel.txt" "$intranet/articles/index.php"
ln -s "$outside/created.php" "$intranet/articles/edit.php"
ln "$outside/hard.txt" "$m/drive_c/php/ext/php_articles.dll"
installs entry-links "$m"
for f in articles/index.php articles/edit.php; do
  [ -L "$intranet/$f" ] && fail "entry-links: $f is still a link"
  cmp -s "$top/samples/package/$f" "$intranet/$f" || fail "entry-links: $f not placed"
done
cmp -s "$top/samples/package/php_articles.dll" "$m/drive_c/php/ext/php_articles.dll" ||
  fail "entry-links: php_articles.dll not placed"

# php.ini keeps its mode, owner and links; a read-only one is not written.
m=$(new_machine php-ini-owner)
ini=$m/drive_c/php/php.ini
chmod 0600 "$ini"
[ "$(id -u)" = 0 ] && chown 33:33 "$ini"
owner_before=$(stat -c '%a %u %g' "$ini")
installs php-ini-owner "$m"
[ "$(stat -c '%a %u %g' "$ini")" = "$owner_before" ] ||
  fail "php-ini-owner: $(stat -c '%a %u %g' "$ini"), was $owner_before"
grep -q '^extension=php_articles.dll' "$ini" || fail "php-ini-owner: not updated"

m=$(new_machine php-ini-links)
ini=$m/drive_c/php/php.ini
mv "$ini" "$m/drive_c/php/php-5.ini"
ln -s php-5.ini "$ini"
ln "$m/drive_c/php/php-5.ini" "$m/drive_c/php-copy.ini"
ln -s "$outside/sentinel.txt" "$ini.~update"  # the fixed name a save once used
installs php-ini-links "$m"
[ -L "$ini" ] || fail "php-ini-links: php.ini is no longer a link"
grep -q '^extension=php_articles.dll' "$m/drive_c/php/php-5.ini" || fail "php-ini-links: not updated"
cmp -s "$m/drive_c/php/php-5.ini" "$m/drive_c/php-copy.ini" ||
  fail "php-ini-links: the hard link was parted from it"

m=$(new_machine php-ini-read-only)
chmod 0444 "$m/drive_c/php/php.ini"
check php-ini-read-only 7 "Cannot create file C:\\php\\\\php.ini"
cmp -s "$top/samples/prefix/drive_c/php/php.ini" "$m/drive_c/php/php.ini" ||
  fail "php-ini-read-only: php.ini changed"

# The registry file with what the installer does not write: kept byte for
# byte, its CR LF line ends too (the value written is the one it holds).
m=$(new_machine registry-kept)
{
  printf 'REGEDIT4\n; the machine'"'"'s registry, partly by hand\n\n'
  printf '[HKEY_CURRENT_USER\\Software\\Other]\n"Kept"="yes"\n\n[-Software\\Removed]\n'
  tail -n +2 "$top/samples/prefix/system.reg"
  printf '"Odd"=something else\n# the end\n'
} | sed 's/$/\r/' >"$m/system.reg"
cp "$m/system.reg" "$work/registry-kept.reg"
installs registry-kept "$m"
cmp -s "$work/registry-kept.reg" "$m/system.reg" ||
  fail "registry-kept: system.reg changed: $(diff <(cat -A "$work/registry-kept.reg") <(cat -A "$m/system.reg") | head -5)"

# A prefix that does not exist yet is made on first use, as an empty
# machine: the registry reads as empty, so no registry box and no warning.
setup_copy=$work/setup-copy
mkdir -p "$setup_copy" && cp "$m/drive_c/Setup/setup" "$m/drive_c/Setup/Data.kpv" "$setup_copy/"
# The pre-flight makes none: it changes nothing.
CORVANTIS_PREFIX=$work/new-machine timeout 60 "$setup_copy/setup" /check /dbpass:x >"$work/new-machine.out" 2>&1
[ $? -eq 7 ] || fail "new-machine: /check did not end with 7"
[ -e "$work/new-machine" ] && fail "new-machine: /check made the prefix"
printf '' | CORVANTIS_PREFIX=$work/new-machine timeout 60 "$setup_copy/setup" >"$work/new-machine.out" 2>&1
status=$?
expect_status new-machine 2 "$work/new-machine"
grep -qE 'Unable to read registration|warning:' "$work/new-machine.out" &&
  fail "new-machine: $(grep -E 'Unable|warning:' "$work/new-machine.out")"
[ "$(cat "$work/new-machine/system.reg")" = 'REGEDIT4

[Software\\Corvantis\\v2.1]' ] || fail "new-machine: system.reg is $(cat -A "$work/new-machine/system.reg")"
[ -d "$work/new-machine/drive_c" ] || fail "new-machine: no drive C:"

[ "$(snapshot "$outside")" = "$outside_before" ] || fail "changed outside the prefix: $(ls -la "$outside")"
[ -e "$outside/created.php" ] && fail "a file was created outside the prefix"

finish
