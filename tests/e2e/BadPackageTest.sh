#!/usr/bin/env bash
# Damaged and hostile packages (BadPackages.py) against the real kpv and
# setup. For each: kpv's exit status is the expected result, setup shows
# its message and exits with 1 (or installs, for damage the reader does not
# look at), all of it found before the web server's stop, nothing outside
# the folders an install writes changes, nothing
# is written outside the prefix, and no file stays open.
BUILD=$1
. "$(dirname "$0")/lib.sh"
kpv=$BUILD/tools/kpv/kpv

texts=("" "An error occured" "File not present in Zip file" "Could not read local file header"
  "Could not create target" "Could not write to target" "Could not read from Zip file"
  "Invalid compression method" "Invalid password" "Invalid package!")

# The machine every case starts from, with the stand-ins that list the open
# files, and the variants of its package. The installer is linked into each
# case rather than copied.
template=$work/template
make_prefix "$template" "$BUILD"
install_stand_ins "$template"
python3 "$here/BadPackages.py" "$template/drive_c/Setup/Data.kpv" "$work/packages" ||
  { fail "the packages were not made"; finish; }
mv "$template/drive_c/Setup/setup" "$work/setup"
rm "$template/drive_c/Setup/Data.kpv"
mkdir -p "$work/sentinel" "$work/cases"
echo "nothing may reach this folder" >"$work/sentinel/keep.txt"
sentinel_before=$(snapshot "$work/sentinel")
top_before=$(ls "$work")

# What an install may change: the folders it writes to and the logs of the
# stand-ins; php.ini and the registry only when it got past the unpacking.
outside() {
  snapshot "$1" | grep -vE ' \./drive_c/(Intranet|php/ext|users|Apache2\.2/logs|PostgreSQL/8\.3/logs)(/|$)' |
    grep -vE ' \./drive_c/Setup/(setup|Data\.kpv)$' | grep -vE "${2:-^$}"
}
template_outside=$(outside "$template")
template_settings=$(outside "$template" ' \./(system\.reg|drive_c/php/php\.ini)$')

# Files below the test's folder that process PID holds open, besides its
# standard input, output and error.
open_files() {
  local fd
  for fd in /proc/"$1"/fd/*; do
    case ${fd##*/} in 0 | 1 | 2) continue ;; esac
    readlink "$fd"
  done | grep -F "$work/" | sed "s|^$work/||"
}

# wait_for FILE TEXT PID: until FILE holds TEXT; false when PID ends first
# or a minute passes.
wait_for() {
  local i
  for ((i = 0; i < 1200; i++)); do
    grep -qF -- "$2" "$1" 2>/dev/null && return 0
    kill -0 "$3" 2>/dev/null || { grep -qF -- "$2" "$1" 2>/dev/null; return; }
    sleep 0.05
  done
  return 1
}

reference_settings=""
# install_case CASE EXPECTED: setup on the case's package, its stdin a pipe the
# test holds, so the open files can be looked at while it waits.
install_case() {
  local name=$1 expected=$2 m=$work/cases/$1 pid
  cp -a "$template" "$m"
  cp "$work/packages/$name.kpv" "$m/drive_c/Setup/Data.kpv"
  ln "$work/setup" "$m/drive_c/Setup/setup"
  mkfifo "$m.in"
  CORVANTIS_PREFIX=$m CORVANTIS_TEST_FD_LOG=$m.fds "$m/drive_c/Setup/setup" \
    /silent /dbpass:unused <"$m.in" >"$m.out" 2>&1 &
  pid=$!
  exec 7>"$m.in"
  if [ "$expected" -ne 0 ]; then
    # The message box waits for its answer: the checks before it have
    # closed every file.
    if wait_for "$m.out" "--- ERROR ---" "$pid"; then
      [ -z "$(open_files "$pid")" ] ||
        fail "$name: open at the message box: $(open_files "$pid" | tr '\n' ' ')"
      grep -A1 -F -- "--- ERROR ---" "$m.out" | tail -1 | grep -qxF -- "${texts[$expected]}" ||
        fail "$name: the box says '$(grep -A1 -F -- "--- ERROR ---" "$m.out" | tail -1 | cut -c1-80)', expected '${texts[$expected]}'"
      echo >&7
      # The last page waits for Finish: nothing is open.
      if wait_for "$m.out" "An error occured installing" "$pid"; then
        [ -z "$(open_files "$pid")" ] || fail "$name: open at the end: $(open_files "$pid" | tr '\n' ' ')"
      else
        fail "$name: no failure page"
      fi
    else
      fail "$name: no message box"
    fi
  fi
  exec 7>&-
  # The end of input ends every wait; a run still going after that hangs.
  wait_for "$m.out" "never printed" "$pid"
  kill -9 "$pid" 2>/dev/null && fail "$name: setup hung"
  wait "$pid"
  status=$?
  if grep -qE 'AddressSanitizer|LeakSanitizer|runtime error:' "$m.out"; then
    fail "$name: sanitizer report"
    grep -E 'ERROR|SUMMARY|runtime error' "$m.out" | head -5
  fi
  if [ "$expected" -eq 0 ]; then
    expect_status "$name" 0 "$m"
    # Seen by the stand-in at the restart, after the unpacking and php.ini.
    [ -z "$(grep -F " -> $work/" "$m.fds" 2>/dev/null | grep -vE ' [012] -> ')" ] ||
      fail "$name: open at the restart: $(grep -F " -> $work/" "$m.fds" | tr '\n' ' ')"
    [ -f "$m.fds" ] || fail "$name: the restart did not run"
    # php.ini and the registry as after an install of the intact package.
    local settings
    settings=$(outside "$m" ' \./(system\.reg|drive_c/php/php\.ini)$')
    [ "$settings" = "$template_settings" ] || fail "$name: changed outside the install's folders"
    settings=$(sed 's/\r//' "$m/drive_c/php/php.ini"; cat "$m/system.reg")
    [ -n "$reference_settings" ] || reference_settings=$settings
    [ "$settings" = "$reference_settings" ] || fail "$name: php.ini or the registry differ from the intact install's"
    psql -X -q -d corvantis -c "UPDATE modules SET version = '2.3.7'" || fail "$name: reset"
  else
    # Refused by the reader, or an entry that cannot be extracted: found
    # before the web server stops, nothing changed (7).
    expect_status "$name" 7 "$m"
    [ "$(outside "$m")" = "$template_outside" ] ||
      fail "$name: changed outside the install's folders: $(diff <(echo "$template_outside") <(outside "$m") | head -3 | cut -c1-120)"
    [ "$(snapshot "$m/drive_c/Intranet")" = "$(snapshot "$template/drive_c/Intranet")" ] ||
      fail "$name: the intranet folder changed"
    [ -z "$(control_log "$m")" ] || fail "$name: the web server was stopped"
  fi
  rm -rf "$m"
}

kpv_cases=0 setup_cases=0
while IFS=$'\t' read -r name expected with_setup note; do
  # kpv: list refuses exactly the invalid packages; extract --all exits
  # with the first failure's code.
  out=$work/kpv-out
  rm -rf "$out" && mkdir "$out"
  "$kpv" list "$work/packages/$name.kpv" >/dev/null 2>"$work/kpv.err"
  status=$?
  want=0
  [ "$expected" -eq 9 ] && want=9
  [ "$status" -eq "$want" ] || fail "$name ($note): kpv list exit status $status, expected $want"
  "$kpv" extract "$work/packages/$name.kpv" --all "$out" >/dev/null 2>"$work/kpv.err"
  status=$?
  [ "$status" -eq "$expected" ] ||
    fail "$name ($note): kpv extract exit status $status, expected $expected: $(head -c 200 "$work/kpv.err")"
  if [ "$expected" -ne 0 ] && ! grep -qF -- "${texts[$expected]}" "$work/kpv.err"; then
    fail "$name: kpv does not say '${texts[$expected]}'"
  fi
  case $name in
    name_*) [ "$expected" -ne 9 ] || grep -q '^kpv: local header [0-9]* at offset [0-9]* names "' "$work/kpv.err" ||
      fail "$name: kpv does not name the refused entry: $(head -c 200 "$work/kpv.err")" ;;
  esac
  if grep -qE 'AddressSanitizer|LeakSanitizer|runtime error:' "$work/kpv.err"; then
    fail "$name: kpv sanitizer report"
  fi
  kpv_cases=$((kpv_cases + 1))
  if [ "$with_setup" -eq 1 ]; then
    install_case "$name" "$expected"
    setup_cases=$((setup_cases + 1))
  fi
done <"$work/packages/cases.tsv"
rm -rf "$work/kpv-out"

# An entry bigger than the free space: on a 1 MiB tmpfs, where this test
# may mount one in a mount namespace of its own.
tmpfs_case() {
  local m=$work/cases/full
  cp -a "$template" "$m"
  cp "$work/packages/entry_2m.kpv" "$m/drive_c/Setup/Data.kpv"
  ln "$work/setup" "$m/drive_c/Setup/setup"
  cp -a "$m/drive_c/Intranet" "$work/intranet"
  mkdir -p "$work/small"
  local script='
    set -e
    mount -t tmpfs -o size=1m corvantis-test "$1/drive_c/Intranet"
    cp -a "$2/." "$1/drive_c/Intranet/"
    mount -t tmpfs -o size=1m corvantis-test "$3"
    set +e
    "$4" extract "$5" --all "$3" >/dev/null 2>"$1.kpv.err"; echo $? >"$1.kpv.status"
    CORVANTIS_PREFIX=$1 "$1/drive_c/Setup/setup" /silent /dbpass:unused </dev/null >"$1.out" 2>&1
    echo $? >"$1.status"'
  local how
  for how in "unshare --mount" "unshare --user --map-root-user --mount"; do
    if $how true 2>/dev/null &&
      $how bash -c "$script" tmpfs "$m" "$work/intranet" "$work/small" "$kpv" \
        "$work/packages/entry_2m.kpv" 2>"$work/mount.err"; then
      break
    fi
    how=""
  done
  if [ -z "$how" ] || [ ! -f "$m.status" ]; then
    echo "SKIP: entry larger than the free space: no tmpfs could be mounted ($(head -1 "$work/mount.err" 2>/dev/null))"
    return
  fi
  [ "$(cat "$m.kpv.status")" = 5 ] || fail "full: kpv extract exit status $(cat "$m.kpv.status"), expected 5"
  grep -qF "Could not write to target" "$m.kpv.err" || fail "full: kpv does not say so"
  # The room is checked before the web server's stop.
  [ "$(cat "$m.status")" = 7 ] || fail "full: setup exit status $(cat "$m.status"), expected 7"
  [ -z "$(control_log "$m")" ] || fail "full: the web server was stopped"
  grep -A1 -F -- "--- ERROR ---" "$m.out" | grep -qxF "Could not write to target" ||
    fail "full: setup does not say 'Could not write to target'"
  [ "$(outside "$m")" = "$template_outside" ] || fail "full: changed outside the install's folders"
  # The folders were the tmpfs: what was written there is gone with it.
  [ "$(snapshot "$m/drive_c/Intranet")" = "$(snapshot "$template/drive_c/Intranet")" ] ||
    fail "full: the intranet folder below the tmpfs changed"
  echo "tmpfs: kpv exit 5, setup 'Could not write to target' (mounted by: $how)"
}
tmpfs_case

[ "$(snapshot "$work/sentinel")" = "$sentinel_before" ] || fail "the sentinel folder changed"
extra=$(comm -13 <(echo "$top_before") <(ls "$work") | grep -vxE 'cases|intranet|small|kpv\.err|mount\.err')
[ -z "$extra" ] || fail "written beside the prefixes: $extra"
echo "$kpv_cases packages through kpv, $setup_cases through setup"
finish
