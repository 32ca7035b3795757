#!/usr/bin/env bash
# Signs the built SETUP.EXE and updpkg.exe as a vendor would, with a
# throwaway certificate, and checks what a customer and a checker rely on:
# the signature verifies, any change to a signed byte is caught, the signed
# programs still run, and a signed file is recognised as this build once
# unsigned. Leaves the signed SETUP.EXE in OUT for the end-to-end run.
#   signature_test.sh BIN_DIR OUT_DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
bin=$(cd "$1" && pwd)
out=$2
sign=$root/scripts/sign.sh
repro=$root/scripts/repro-check.sh

work=$(mktemp -d "${TMPDIR:-/tmp}/upd-sign.XXXXXX")
tsa_pid=
trap '[ -z "$tsa_pid" ] || kill "$tsa_pid" 2>/dev/null; rm -rf "$work"' EXIT
rm -rf "$out"; mkdir -p "$out"
cp "$bin/SETUP.EXE" "$bin/updpkg.exe" "$out/"
cert=$work/cert

passed=0 failed=0
check() {  # DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@" >"$work/log" 2>&1; then
    passed=$((passed + 1)); echo "ok    $what"
  else
    failed=$((failed + 1)); echo "FAIL  $what"; sed 's/^/      /' "$work/log"
  fi
}
fails() { ! "$@"; }
verify() { osslsigncode verify -CAfile "$cert/cert.pem" -in "$1"; }
verify_ok() {  # FILE: verifies, signed by the throwaway certificate
  verify "$1" > "$work/verify" 2>&1 || { cat "$work/verify"; return 1; }
  grep -q '^Signature verification: ok' "$work/verify" &&
    grep -q 'Subject: /CN=Zomi7 update test signing (throwaway)' "$work/verify"
}
flip_byte() {  # FILE OFFSET: a copy, of the same name, with one byte changed
  local copy=$work/flipped/$(basename "$1")
  mkdir -p "$work/flipped"; cp "$1" "$copy"
  printf '\xA5' | dd of="$copy" bs=1 seek="$2" conv=notrunc status=none
  echo "$copy"
}
crc_of() { python3 -c 'import sys, zlib; print("%08x" % zlib.crc32(open(sys.argv[1], "rb").read()))' "$1"; }
key_by_signed_updpkg() {  # the signed updpkg.exe under Wine gives the same key as zlib
  local got
  got=$("$root/cmake/wine-run.sh" "$out/updpkg.exe" key "Z:${bin//\//\\}\\SETUP.EXE" | tr -d '\r')
  [ "${got,,}" = "$(crc_of "$bin/SETUP.EXE")" ] || { echo "updpkg.exe key gave '$got'"; return 1; }
}

# A timestamp authority of the test's own on the loopback address.
start_tsa() {
  local tsa=$work/tsa
  mkdir -p "$tsa"
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 30 -subj "/CN=Zomi7 test TSA" \
    -addext "basicConstraints=critical,CA:FALSE" -addext "keyUsage=critical,digitalSignature" \
    -addext "extendedKeyUsage=critical,timeStamping" \
    -keyout "$tsa/key.pem" -out "$tsa/cert.pem" 2>/dev/null || return 1
  echo 01 > "$tsa/serial"
  cat > "$tsa/tsa.cnf" <<EOF || return 1
[ tsa ]
default_tsa = test_tsa
[ test_tsa ]
serial = $tsa/serial
signer_cert = $tsa/cert.pem
signer_key = $tsa/key.pem
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256
accuracy = secs:1
ess_cert_id_alg = sha256
EOF
  python3 "$here/tsa_server.py" "$tsa/tsa.cnf" "$tsa/port" 4 120 &
  tsa_pid=$!
  for _ in $(seq 100); do [ -s "$tsa/port" ] && return 0; sleep 0.1; done
  return 1
}
timestamped_ok() {  # FILE: signature and timestamp verify
  osslsigncode verify -CAfile "$cert/cert.pem" -TSA-CAfile "$work/tsa/cert.pem" -in "$1" > "$work/verify" 2>&1 ||
    { cat "$work/verify"; return 1; }
  grep -q '^Timestamp Server Signature verification: ok' "$work/verify" &&
    grep -q '^Signature verification: ok' "$work/verify"
}

check "a throwaway certificate is made" "$sign" --make-test-cert "$cert"
check "SETUP.EXE is signed from the PKCS#12 file and its password" \
  "$sign" --pkcs12 "$cert/cert.p12" --pass-file "$cert/pass.txt" --name "Zomi7 update" "$out/SETUP.EXE"
check "updpkg.exe is signed from the PEM certificate and key" \
  "$sign" --cert "$cert/cert.pem" --key "$cert/key.pem" "$out/updpkg.exe"
check "SETUP.EXE's signature verifies" verify_ok "$out/SETUP.EXE"
check "updpkg.exe's signature verifies" verify_ok "$out/updpkg.exe"
check "an unsigned SETUP.EXE does not verify" fails verify "$bin/SETUP.EXE"
# A byte of code, and the padding of the header's last page: both are signed.
check "a changed code byte is caught" fails verify "$(flip_byte "$out/SETUP.EXE" 5000)"
pe=$(od -An -tu4 -j60 -N4 "$bin/SETUP.EXE" | tr -d ' ')
check "a changed header byte is caught" fails verify "$(flip_byte "$out/SETUP.EXE" $((pe + 4 + 20 + 2)))"

cp "$out/SETUP.EXE" "$work/signed.exe"
check "a signed file is not signed again" fails "$sign" --cert "$cert/cert.pem" --key "$cert/key.pem" "$out/SETUP.EXE"
check "... and is left as it was" cmp "$out/SETUP.EXE" "$work/signed.exe"
cp "$bin/SETUP.EXE" "$work/SETUP.EXE"
echo wrong > "$work/wrong.txt"
check "a wrong password fails" fails "$sign" --pkcs12 "$cert/cert.p12" --pass-file "$work/wrong.txt" "$work/SETUP.EXE"
check "... and leaves the file unsigned and whole" cmp "$work/SETUP.EXE" "$bin/SETUP.EXE"
check "no certificate is refused" fails "$sign" "$work/SETUP.EXE"

check "a test timestamp authority starts" start_tsa
check "SETUP.EXE is signed with a timestamp from the authority" \
  "$sign" --cert "$cert/cert.pem" --key "$cert/key.pem" --timestamp "http://127.0.0.1:$(cat "$work/tsa/port")/" \
  "$work/SETUP.EXE"
check "... and its signature and timestamp verify" timestamped_ok "$work/SETUP.EXE"
cp "$bin/SETUP.EXE" "$work/SETUP.EXE"
# Port 9 (discard) has no listener here: the connection is refused at once.
check "an unreachable timestamp server fails the signing" \
  fails "$sign" --cert "$cert/cert.pem" --key "$cert/key.pem" --timestamp "http://127.0.0.1:9/" "$work/SETUP.EXE"
check "... and leaves the file unsigned" cmp "$work/SETUP.EXE" "$bin/SETUP.EXE"

check "the signed SETUP.EXE and updpkg.exe are recognised as this build once unsigned" \
  "$repro" --with "$bin" "$out/SETUP.EXE" "$out/updpkg.exe"
check "a signed SETUP.EXE that differs in one byte is not" \
  fails "$repro" --with "$bin" "$(flip_byte "$out/SETUP.EXE" 5000)"
check "the signed updpkg.exe runs under Wine" key_by_signed_updpkg

# A vendor's medium: the key written into SETUP.EXE by updpkg, then signed.
keyed_and_signed() {
  local m=$work/medium wine="$root/cmake/wine-run.sh" updpkg=$out/updpkg.exe
  mkdir -p "$m" && cp "$bin/SETUP.EXE" "$m/" && printf '[PRODUCT]\r\nPRODUCT_NAME=Zomi7\r\n' > "$m/SETUP.INI" &&
    "$wine" "$updpkg" keygen -o "Z:${work//\//\\}\\v.key" &&
    "$wine" "$updpkg" sign --sign-key "Z:${work//\//\\}\\v.key" "Z:${m//\//\\}" &&
    ! cmp -s "$m/SETUP.EXE" "$bin/SETUP.EXE" &&
    "$sign" --cert "$cert/cert.pem" --key "$cert/key.pem" "$m/SETUP.EXE" && verify_ok "$m/SETUP.EXE"
}
check "a medium's SETUP.EXE takes its vendor's key and is signed after" keyed_and_signed
check "... and is recognised as this build, the key set aside" "$repro" --with "$bin" "$work/medium/SETUP.EXE"
check "... but not with a byte of the key's marker changed" \
  fails "$repro" --with "$bin" "$(flip_byte "$work/medium/SETUP.EXE" \
    $(( 16#$(i686-w64-mingw32-objdump -h "$bin/SETUP.EXE" | awk '$2 == ".kvkey" { print $6 }') + 3 )))"

echo "signature: $passed passed, $failed failed"
[ "$failed" = 0 ]
