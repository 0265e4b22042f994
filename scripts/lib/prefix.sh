# Shared by the demo and the end-to-end tests: a fresh machine in a folder.
#   make_prefix DIR BUILD_DIR
# copies samples/prefix (registry, Apache, PHP, the intranet) into DIR and
# puts the installer in C:\Setup with its package Data.kpv beside it, packed
# by kpv from samples/package.
make_prefix() {
  local dir=$1 build=$2
  local top
  top=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  mkdir -p "$dir"
  cp -R "$top/samples/prefix/." "$dir/"
  find "$dir" -name .keep -delete
  mkdir -p "$dir/drive_c/Setup"
  cp "$build/src/shell/setup" "$dir/drive_c/Setup/setup"
  "$build/tools/kpv/kpv" pack "$top/samples/package" "$dir/drive_c/Setup/Data.kpv" >/dev/null
}
