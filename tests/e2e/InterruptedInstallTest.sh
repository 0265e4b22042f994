#!/usr/bin/env bash
# An install killed (SIGKILL) at each of its phases, and at many random
# moments while it unpacks and saves php.ini: php.ini and system.reg are
# always byte for byte the old file or the new one, never a mix or empty.
BUILD=$1
. "$(dirname "$0")/lib.sh"

# kill_when FILE TEXT PID [DELAY]: kills PID once FILE holds TEXT, DELAY
# seconds later; false when PID ended first.
kill_when() {
  local i
  for ((i = 0; i < 12000; i++)); do
    if grep -qF -- "$2" "$1" 2>/dev/null; then
      [ -z "${4:-}" ] || sleep "$4"
      kill -9 "$3" 2>/dev/null
      return
    fi
    kill -0 "$3" 2>/dev/null || return 1
    sleep 0.005
  done
  return 1
}

# A machine with the stand-ins; the package and the installer of TEMPLATE
# are linked, not copied, as the installer never writes them. php.ini is
# copied: one with another hard link is written in place, which would change
# the template's too.
machine() {
  local m=$work/$1 template=$2
  rm -rf "$m"
  cp -a "$template" "$m"
  rm "$m/drive_c/Setup/Data.kpv" "$m/drive_c/Setup/setup"
  ln "$template/drive_c/Setup/Data.kpv" "$m/drive_c/Setup/Data.kpv"
  ln "$template/drive_c/Setup/setup" "$m/drive_c/Setup/setup"
  echo "$m"
}

# start PREFIX [KILL_AT]: setup unattended in the background; its pid in $pid.
start() {
  CORVANTIS_PREFIX=$1 CORVANTIS_TEST_KILL_AT=${2:-} "$1/drive_c/Setup/setup" /silent \
    /dbpass:unused </dev/null >"$1.out" 2>&1 &
  pid=$!
}

# The state a run left, as "php.ini=old|new system.reg=old|new" and the
# temporary files beside them; a file that is neither fails the test.
state() {
  local m=$1 name=$2 ini reg
  if cmp -s "$m/drive_c/php/php.ini" "$old_ini"; then ini=old
  elif cmp -s "$m/drive_c/php/php.ini" "$new_ini"; then ini=new
  else ini=MIXED; fail "$name: php.ini is neither the old nor the new one ($(wc -c <"$m/drive_c/php/php.ini") bytes)"
  fi
  if cmp -s "$m/system.reg" "$old_reg"; then reg=old
  elif cmp -s "$m/system.reg" "$new_reg"; then reg=new
  else reg=MIXED; fail "$name: system.reg is neither the old nor the new one"
  fi
  local left
  left=$(cd "$m" && ls -d drive_c/php/php.ini.* system.reg.* 2>/dev/null | sed 's/\.reg\..*/.reg.XXXXXX/' | tr '\n' ' ')
  echo "php.ini=$ini system.reg=$reg${left:+ left: $left}"
}

reset_module() { psql -X -q -d corvantis -c "UPDATE modules SET version = '2.3.7'" || fail "reset"; }

# --- The machine ---------------------------------------------------------------
# The sample machine with the stand-ins, made slow: 16 MiB to unpack and a
# 4 MiB php.ini to load and save make each phase long enough to be hit.
slow=$work/slow
make_prefix "$slow" "$BUILD"
install_stand_ins "$slow"
# "InstallDir" written by hand with single backslashes, which the install
# writes anew with doubled ones: the registry it saves is then told from the
# one before it by its bytes.
sed -i 's/^"InstallDir"=.*/"InstallDir"="C:\\Intranet"/' "$slow/system.reg"
grep -qxF '"InstallDir"="C:\Intranet"' "$slow/system.reg" || fail "InstallDir not rewritten"
{
  for ((i = 0; i < 65536; i++)); do echo "; padding line $i of a long php.ini, before its extensions"; done
  cat "$top/samples/prefix/drive_c/php/php.ini"
} >"$slow/drive_c/php/php.ini"
mkdir -p "$work/package"
cp -R "$top/samples/package/." "$work/package/"
head -c $((16 << 20)) /dev/zero | tr '\0' 'Z' >"$work/package/articles/big.bin"
"$BUILD/tools/kpv/kpv" pack "$work/package" "$slow/drive_c/Setup/Data.kpv" >/dev/null ||
  fail "the slow package was not made"
old_ini=$work/old.ini old_reg=$work/old.reg new_ini=$work/new.ini new_reg=$work/new.reg
cp "$slow/drive_c/php/php.ini" "$old_ini"
cp "$slow/system.reg" "$old_reg"

# The whole install once, timed from the last entry's progress line (php.ini
# is loaded right after it) to the next status (it is saved by then).
"$top/scripts/pg-server" reset "$CORVANTIS_PG_DIR" >&2 || fail "database reset failed"
m=$(machine reference "$slow")
start "$m"
t0=$(date +%s%N) t_ini="" t_end=""
while kill -0 "$pid" 2>/dev/null; do
  now=$(date +%s%N)
  [ -z "$t_ini" ] && grep -qF "Extracting file...php_articles.dll" "$m.out" && t_ini=$now
  [ -z "$t_end" ] && grep -qF "Configuring files." "$m.out" && t_end=$now
  sleep 0.002
done
total_ms=$((($(date +%s%N) - t0) / 1000000))
wait "$pid"
status=$?
expect_status reference 0 "$m"
cp "$m/drive_c/php/php.ini" "$new_ini"
cp "$m/system.reg" "$new_reg"
cmp -s "$old_ini" "$new_ini" && fail "reference: php.ini did not change"
cmp -s "$old_reg" "$new_reg" && fail "reference: system.reg did not change"
reset_module
ini_ms=$(((${t_end:-$t0} - ${t_ini:-$t0}) / 1000000))
[ "$ini_ms" -gt 0 ] || ini_ms=50
echo "install: ${total_ms} ms, of which the php.ini update about ${ini_ms} ms"

# --- Each phase ------------------------------------------------------------------
# Seen through the stand-ins or the progress output, and what it must leave.
phases=(
  "stand-in:httpd-stop|php.ini=old system.reg=old"
  "output:Extracting file...index.php|php.ini=old system.reg=old"
  "output:Configuring files.|php.ini=new system.reg=old"
  "stand-in:psql|php.ini=new system.reg=old"
  "stand-in:httpd-restart|php.ini=new system.reg=new"
  "output:Performing post-install tasks.|php.ini=new system.reg=new"
)
for phase in "${phases[@]}"; do
  where=${phase%%|*} expected=${phase#*|}
  m=$(machine phase "$slow")
  if [[ $where == stand-in:* ]]; then
    start "$m" "${where#stand-in:}"
  else
    start "$m"
    kill_when "$m.out" "${where#output:}" "$pid"
  fi
  wait "$pid" 2>/dev/null
  status=$?
  # The module record is quick: the run may end before the signal.
  if [ "$status" -ne 137 ] && ! [[ $where == *post-install* && $status -eq 0 ]]; then
    fail "$where: exit status $status, not killed"
  fi
  got=$(state "$m" "$where")
  [[ $got =~ ^$expected ]] || fail "$where: $got, expected $expected"
  web=untouched
  control_log "$m" | grep -q stop && web=stopped
  control_log "$m" | grep -q restart && web=restarted
  printf 'killed at %-38s %s; web server %s, module %s\n' "$where" "$got" "$web" \
    "$(psql -X -At -d corvantis -c "SELECT version FROM modules WHERE name = 'Articles'")"
  reset_module
done

# --- Random moments ----------------------------------------------------------------
declare -A outcomes
random_kill() {
  local name=$1 trigger=$2 window_ms=$3 delay got
  m=$(machine random "$slow")
  delay=$(awk -v r=$RANDOM -v w="$window_ms" 'BEGIN { printf "%.3f", r / 32767 * w / 1000 }')
  if [ "$trigger" = psql ]; then
    start "$m" "after-psql:$delay"
  else
    start "$m"
  fi
  if [ "$trigger" = psql ]; then
    :
  elif [ -n "$trigger" ]; then
    kill_when "$m.out" "$trigger" "$pid" "$delay"
  else
    sleep "$delay"
    kill -9 "$pid" 2>/dev/null
  fi
  wait "$pid" 2>/dev/null
  got=$(state "$m" "$name (after ${delay} s)")
  outcomes[$got]=$((${outcomes[$got]:-0} + 1))
  reset_module
}
# While php.ini is loaded and saved, just after psql (the registry is saved
# then), and anywhere.
for ((run = 0; run < 24; run++)); do
  random_kill "php.ini update $run" "Extracting file...php_articles.dll" $((ini_ms * 3 / 2))
done
for ((run = 0; run < 16; run++)); do
  random_kill "registry save $run" psql 15
done
for ((run = 0; run < 16; run++)); do
  random_kill "whole install $run" "" $((total_ms * 11 / 10))
done
for got in "${!outcomes[@]}"; do
  printf 'random kills: %3d x %s\n' "${outcomes[$got]}" "$got"
done
finish
