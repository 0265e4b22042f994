#!/usr/bin/env bash
# The real installer walked through its pages at the terminal.
BUILD=$1
. "$(dirname "$0")/lib.sh"

stop='httpd.exe -w -n Apache2.2 -k stop'
restart='httpd.exe -w -n Apache2.2 -k restart'

# Forward and back over every page, then the install, then Finish.
m=$(new_machine walk)
run_setup "$m" 'n\np\nn\nn\np\nn\nn\np\nn\nn\nn\n'
expect_status "walk" 0 "$m"
[ "$(control_log "$m")" = "$stop"$'\n'"$restart" ] || fail "walk: control log: $(control_log "$m")"
grep -q 'Install has successfully installed' "$m.out" || fail "walk: no success text"

# Enter presses the default button.
m=$(new_machine enter)
run_setup "$m" '\n\n\n\n\n'
expect_status "enter" 0 "$m"

# Cancel, then Yes: nothing installed.
m=$(new_machine cancel)
run_setup "$m" 'c\ny\n'
expect_status "cancel" 2 "$m"
[ -z "$(control_log "$m")" ] || fail "cancel: the web server was touched"

# "No" on the licence asks; No stays, then the close box quits.
m=$(new_machine licence-no)
run_setup "$m" 'n\nc\nn\nq\n'
expect_status "licence-no" 2 "$m"
grep -q 'Do you really want to quit?' "$m.out" || fail "licence-no: no quit question"

# The end of input closes the window.
m=$(new_machine eof)
run_setup "$m" ''
expect_status "eof" 2 "$m"

# Unattended.
m=$(new_machine silent)
run_setup "$m" '' /silent
expect_status "silent" 0 "$m"
[ "$(control_log "$m")" = "$stop"$'\n'"$restart" ] || fail "silent: control log: $(control_log "$m")"

finish
