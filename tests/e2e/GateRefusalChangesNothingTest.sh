#!/usr/bin/env bash
# The version gate against a real database server: each refusal leaves the
# machine exactly as it was (files, registry, modules table) and the web
# server running.
BUILD=$1
. "$(dirname "$0")/lib.sh"

# refused NAME PREFIX [STATUS]: the install was refused (7, or 10 for a
# server already at 2.3.8) and nothing was touched.
refused() {
  local name=$1 prefix=$2
  expect_status "$name" "${3:-7}" "$prefix"
  [ -z "$(control_log "$prefix")" ] || fail "$name: web server commands: $(control_log "$prefix")"
  diff -r "$prefix.before" "$prefix" >"$prefix.diff" ||
    fail "$name: the machine changed: $(head -5 "$prefix.diff")"
  [ "$(module_rows)" = "$rows_before" ] || fail "$name: modules: $(module_rows)"
}

# shows NAME PREFIX COUNT TEXT: the output holds TEXT exactly COUNT times.
shows() {
  local n
  n=$(grep -cF -- "$4" "$2.out")
  [ "$n" -eq "$3" ] || fail "$1: '$4' shown $n times, expected $3"
}

# fresh NAME [VERSION]: a new machine, the module row at VERSION.
fresh() {
  m=$(new_machine "$1")
  cp -R "$m" "$m.before"
  if [ -n "${2:-}" ]; then
    psql -X -q -d corvantis -c "UPDATE modules SET version = '$2'" || fail "$1: update failed"
  fi
  rows_before=$(module_rows)
}

# Already installed: the re-install question answered No.
fresh installed-2.3.8-no 2.3.8
run_setup "$m" 'n\n' /silent /dbpass:unused
refused installed-2.3.8-no "$m" 10
shows installed-2.3.8-no "$m" 1 'This module is already installed. Re-install?'
shows installed-2.3.8-no "$m" 1 '(Enter: No)'

# The end of input presses the default button: No to the re-install.
fresh installed-2.3.8-end 2.3.8
run_setup "$m" '' /silent /dbpass:unused
refused installed-2.3.8-end "$m" 10
shows installed-2.3.8-end "$m" 1 '(end of input: No)'

# A module too old to update.
fresh installed-2.3.6 2.3.6
run_setup "$m" '\n' /silent /dbpass:unused
refused installed-2.3.6 "$m"
shows installed-2.3.6 "$m" 1 'The currently installed module is too old to update.'

# A role that needs its password; the wrong one is refused at every try.
psql -X -q -d postgres -c 'DROP ROLE IF EXISTS webadmin' \
  -c "CREATE ROLE webadmin LOGIN PASSWORD 'right'" || fail "role not made"
refusal='password authentication failed for user "webadmin"'

# From the command line: Yes tries the same credentials again, then No.
fresh wrong-password
run_setup "$m" 'y\nn\n' /silent /dbuser:webadmin /dbpass:wrong
refused wrong-password "$m"
shows wrong-password "$m" 2 "$refusal"
shows wrong-password "$m" 2 'Try again?'
shows wrong-password "$m" 0 '=== DB Login ==='

# At the end of input the retry's default Yes is taken once, not for ever.
fresh wrong-password-end
run_setup "$m" '' /silent /dbuser:webadmin /dbpass:wrong
refused wrong-password-end "$m"
shows wrong-password-end "$m" 2 'Try again?'

# Typed into the login dialog: the retry does not ask again, since the
# password setting is no longer empty.
fresh wrong-password-typed
run_setup "$m" '\n\nwrong\no\ny\nn\n' /silent /dbuser:webadmin
refused wrong-password-typed "$m"
shows wrong-password-typed "$m" 1 '=== DB Login ==='
shows wrong-password-typed "$m" 1 'Username: [webadmin]'
shows wrong-password-typed "$m" 1 'Password: [] *****'
shows wrong-password-typed "$m" 2 "$refusal"

psql -X -q -d postgres -c 'DROP ROLE IF EXISTS webadmin' || true
finish
