#!/usr/bin/env bash
# The release signed with a throwaway code-signing certificate made by
# openssl: setup.exe, kpv.exe and libpq.dll carry Authenticode signatures
# that osslsigncode verifies, made after setup.exe was bound to its package;
# SHA256SUMS names the signed files; a changed byte breaks the signature.
# Without a certificate the release says it is unsigned.
#   SignedReleaseTest.sh SETUP.EXE KPV.EXE SOURCE_DIR WORK_DIR
set -euo pipefail
[ $# -eq 4 ] || { echo "usage: SignedReleaseTest.sh SETUP KPV SOURCE_DIR WORK_DIR" >&2; exit 2; }
setup=$1 kpv=$2 top=$3 work=$4
rm -rf "$work" && mkdir -p "$work"
status=0
check() {
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; status=1; fi
}

python3 - "$top/samples/package" "$work/Data.kpv" <<'PY'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[2], "w", zipfile.ZIP_STORED) as z:
    for folder, _, files in sorted(os.walk(sys.argv[1])):
        for name in sorted(files):
            path = os.path.join(folder, name)
            z.write(path, os.path.relpath(path, sys.argv[1]))
PY
printf 'throwaway-pass\n' >"$work/password"
openssl req -x509 -newkey rsa:2048 -sha256 -days 2 -nodes -subj "/CN=Hollinvale test signing" \
  -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.p12" \
  -passout "file:$work/password"

"$top/scripts/lib/make-release" "$setup" "$kpv" "$work/Data.kpv" "$work/unsigned" 2>"$work/unsigned.err"
check "an unsigned release says so: $(cat "$work/unsigned.err")" \
  grep -qxF "make-release: no code-signing certificate given: the release is unsigned" "$work/unsigned.err"

CORVANTIS_SIGN_PASSWORD=throwaway-pass "$top/scripts/lib/make-release" --pkcs12 "$work/cert.p12" \
  --ca-file "$work/cert.pem" "$setup" "$kpv" "$work/Data.kpv" "$work/signed" 2>"$work/signed.err" ||
  { cat "$work/signed.err"; status=1; }
dist=$work/signed
# verifies FILE: osslsigncode's verdict, trusting the throwaway certificate;
# its report lands in FILE.verify.
not() { ! "$@"; }
verifies() { osslsigncode verify -CAfile "$work/cert.pem" -in "$1" >"$1.verify" 2>&1; }
for f in setup.exe kpv.exe libpq.dll; do
  check "$f: its signature verifies" verifies "$dist/$f"
  check "$f: signed by the throwaway certificate" grep -qF "Hollinvale test signing" "$dist/$f.verify"
  check "$f: unsigned in the unsigned release" \
    test "$(osslsigncode extract-signature -in "$work/unsigned/$f" -out "$work/$f.sig" >/dev/null 2>&1; echo $?)" != 0
done
check "the signed setup.exe carries the SHA-256 of its Data.kpv" \
  grep -qaF "corvantis-package-sha256:$(sha256sum "$dist/Data.kpv" | cut -c1-64)" "$dist/setup.exe"
check "SHA256SUMS names the signed files" bash -c "cd '$dist' && sha256sum -c --quiet SHA256SUMS"
# The password file instead of the variable.
"$top/scripts/lib/make-release" --pkcs12 "$work/cert.p12" --password-file "$work/password" \
  --ca-file "$work/cert.pem" "$setup" "$kpv" "$work/Data.kpv" "$work/signed2" 2>/dev/null
check "a password from a file signs as well" verifies "$work/signed2/setup.exe"
python3 - "$dist/setup.exe" "$work/tampered.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[len(data) // 3] ^= 0x01
open(sys.argv[2], "wb").write(data)
PY
check "a byte changed after signing breaks the signature" not verifies "$work/tampered.exe"
exit $status
