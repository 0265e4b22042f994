# Shared by the end-to-end tests: a fresh machine per case, the real setup
# binary run in it with answers on standard input.
#   BUILD=<build dir> must be set.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/../.." && pwd)
. "$top/scripts/lib/prefix.sh"

# The throwaway database server that the run's "postgres" fixture started:
# the installer and the prefix's psql.exe reach it through PGHOST and PGPORT.
if [ ! -f "${CORVANTIS_PG_DIR:-}/env" ]; then
  echo "FAIL: no test database server (CORVANTIS_PG_DIR/env); run the test through ctest"
  exit 1
fi
set -a
. "$CORVANTIS_PG_DIR/env"
set +a

work=$(mktemp -d "${TMPDIR:-/tmp}/corvantis-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# new_machine NAME: a fresh prefix in $work/NAME, printed, and the database
# as a fresh intranet has it (Articles 2.3.7).
new_machine() {
  local dir="$work/$1"
  make_prefix "$dir" "$BUILD"
  "$top/scripts/pg-server" reset "$CORVANTIS_PG_DIR" >&2 || fail "$1: database reset failed"
  echo "$dir"
}

# The rows of the modules table as name|version|verdate, one per line.
module_rows() {
  psql -X -At -d corvantis \
    -c "SELECT name, version, to_char(verdate, 'YYYY-MM-DD HH24:MI:SS') FROM modules ORDER BY ctid"
}

# run_setup PREFIX INPUT ARGS...: runs the installer; its output goes to
# PREFIX.out, its exit status to $status.
run_setup() {
  local prefix=$1 input=$2
  shift 2
  printf '%b' "$input" | CORVANTIS_PREFIX=$prefix timeout 120 \
    "$prefix/drive_c/Setup/setup" "$@" >"$prefix.out" 2>&1
  status=$?
}

expect_status() {
  local name=$1 want=$2 prefix=$3
  if [ "$status" -ne "$want" ]; then
    fail "$name: exit status $status, expected $want"
    sed 's/^/    | /' "$prefix.out" | tail -40
  fi
}

# The web server control commands the run gave, one per line.
control_log() { cat "$1/drive_c/Apache2.2/logs/control.log" 2>/dev/null; }

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures failure(s)"
    exit 1
  fi
  echo "all passed"
}
