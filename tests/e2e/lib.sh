# Shared by the end-to-end tests: a fresh machine per case, the real setup
# binary run in it with answers on standard input.
#   BUILD=<build dir> must be set.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
top=$(cd "$here/../.." && pwd)
. "$top/scripts/lib/prefix.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/corvantis-e2e.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# new_machine NAME: a fresh prefix in $work/NAME, printed.
new_machine() {
  local dir="$work/$1"
  make_prefix "$dir" "$BUILD"
  echo "$dir"
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
