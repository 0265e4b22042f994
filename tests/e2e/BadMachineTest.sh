#!/usr/bin/env bash
# The installer's other inputs damaged: the registry file, httpd.conf, the
# base version file and php.ini. Each case ends with its message and exit
# status in bounded time, and changes nothing but what the install had
# written by then.
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

# A registry file that is not one: left alone, and read as empty.
m=$(new_machine registry-garbage)
head -c 4096 /dev/urandom >"$m/system.reg"
check registry-garbage 1 "Apache does not appear to be installed on this computer."

# The product key's "InstallDir" of the wrong type: the fault ends the
# wizard before the install.
m=$(new_machine registry-dword)
sed -i 's/^"InstallDir"=.*/"InstallDir"=dword:00000001/' "$m/system.reg"
check registry-dword 2 "Invalid data type for 'InstallDir'"

# A PHP folder of 200,000 folders: no path can hold it, so its extension
# folder is never made and the extension cannot be written.
m=$(new_machine httpd-conf-deep)
python3 -c "print('LoadModule php5_module C:\\\\' + 'a\\\\' * 200000 + 'php5apache2_2.dll')" \
  >"$m/drive_c/Apache2.2/conf/httpd.conf"
# The folders below C:\a are made up to the longest path the host takes.
check httpd-conf-deep 1 "Could not create target" ' \./drive_c/a(/|$)'

m=$(new_machine httpd-conf-empty)
: >"$m/drive_c/Apache2.2/conf/httpd.conf"
check httpd-conf-empty 1 "PHP does not appear to be installed in Apache on this computer."

# A module named without a folder: no PHP folder to write to, refused
# before the web server is stopped.
m=$(new_machine httpd-conf-no-folder)
sed -i 's|^LoadModule php5_module .*|LoadModule php5_module "php5apache2_2.dll"|' \
  "$m/drive_c/Apache2.2/conf/httpd.conf"
check httpd-conf-no-folder 1 "PHP does not appear to be installed in Apache on this computer."
[ -z "$(control_log "$m")" ] || fail "httpd-conf-no-folder: the web server was stopped"

m=$(new_machine httpd-conf-missing)
rm "$m/drive_c/Apache2.2/conf/httpd.conf"
check httpd-conf-missing 1 "Cannot open file C:\\Apache2.2\\conf\\httpd.conf"

m=$(new_machine version-garbage)
printf '2.3.x\r\n' >"$m/drive_c/Intranet/include/templates/version.dat"
check version-garbage 1 "is not a valid integer value"

m=$(new_machine version-binary)
head -c 70000 /dev/zero | tr '\0' 'q' >"$m/drive_c/Intranet/include/templates/version.dat"
check version-binary 1 "is not a valid integer value"

# php.ini that cannot be read: the install stops after the unpacking, with
# the web server stopped.
m=$(new_machine php-ini-folder)
rm "$m/drive_c/php/php.ini"
mkdir "$m/drive_c/php/php.ini"
check php-ini-folder 1 "Cannot open file C:\\php\\\\php.ini"
[ "$(control_log "$m")" = "httpd.exe -w -n Apache2.2 -k stop" ] || fail "php-ini-folder: $(control_log "$m")"

finish
