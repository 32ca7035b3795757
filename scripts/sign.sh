#!/usr/bin/env bash
# Signs Windows programs with Authenticode (osslsigncode, SHA-256), in place.
#   scripts/sign.sh --pkcs12 VENDOR.p12 [OPTIONS] FILE...
#   scripts/sign.sh --cert CERT.pem --key KEY.pem [OPTIONS] FILE...
#   scripts/sign.sh --make-test-cert DIR
# Options:
#   --pass-file FILE   the password of the PKCS#12 file or of the key, on its first line
#   --timestamp URL    an RFC 3161 timestamp server (none by default); the signature then
#                      stays valid after the certificate expires. May be given again as a fallback.
#   --name TEXT        the program's name in the signature (UAC shows it)
#   --url URL          the vendor's web address in the signature
# --make-test-cert writes a throwaway self-signed code-signing certificate to DIR:
# cert.pem, key.pem, and cert.p12 with its password in pass.txt. Only for tests
# and the demo: Windows trusts it no more than an unsigned program.
# A file that is already signed is refused: sign the unsigned build. Each file
# is replaced only once its signature is complete.
set -euo pipefail

die() { echo "sign: $*" >&2; exit 2; }

make_test_cert() {  # DIR
  local dir=$1
  mkdir -p "$dir"
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 30 \
    -subj "/CN=Zomi7 update test signing (throwaway)" \
    -addext "basicConstraints=critical,CA:FALSE" \
    -addext "keyUsage=critical,digitalSignature" \
    -addext "extendedKeyUsage=codeSigning" \
    -keyout "$dir/key.pem" -out "$dir/cert.pem" 2>/dev/null
  openssl rand -hex 16 > "$dir/pass.txt"
  openssl pkcs12 -export -inkey "$dir/key.pem" -in "$dir/cert.pem" \
    -passout "file:$dir/pass.txt" -out "$dir/cert.p12"
  chmod 600 "$dir/key.pem" "$dir/pass.txt" "$dir/cert.p12"
  echo "sign: throwaway certificate in $dir (cert.pem, key.pem, cert.p12, pass.txt)"
}

pkcs12= cert= key= passfile= name= url=
timestamps=()
files=()
while [ $# -gt 0 ]; do
  case "$1" in
    --make-test-cert) [ $# -eq 2 ] || die "--make-test-cert takes one folder"; make_test_cert "$2"; exit 0 ;;
    --pkcs12|--cert|--key|--pass-file|--timestamp|--name|--url)
      [ $# -ge 2 ] || die "$1 needs a value"
      case "$1" in
        --pkcs12) pkcs12=$2 ;; --cert) cert=$2 ;; --key) key=$2 ;; --pass-file) passfile=$2 ;;
        --timestamp) timestamps+=("$2") ;; --name) name=$2 ;; --url) url=$2 ;;
      esac
      shift 2 ;;
    -h|--help) awk 'NR > 1 && !/^#/ { exit } NR > 1 { sub(/^# ?/, ""); print }' "$0"; exit 0 ;;
    -*) die "unknown option $1 (try --help)" ;;
    *) files+=("$1"); shift ;;
  esac
done

command -v osslsigncode >/dev/null || die "osslsigncode is missing (scripts/install-deps.sh installs it)"
args=(-h sha256)
if [ -n "$pkcs12" ]; then
  [ -z "$cert$key" ] || die "give either --pkcs12 or --cert with --key"
  args+=(-pkcs12 "$pkcs12")
elif [ -n "$cert" ] && [ -n "$key" ]; then
  args+=(-certs "$cert" -key "$key")
else
  die "a certificate is needed: --pkcs12 FILE, or --cert FILE with --key FILE (try --help)"
fi
[ -z "$passfile" ] || args+=(-readpass "$passfile")
[ -z "$name" ] || args+=(-n "$name")
[ -z "$url" ] || args+=(-i "$url")
for t in "${timestamps[@]}"; do args+=(-ts "$t"); done
[ ${#files[@]} -gt 0 ] || die "no file to sign"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
signed_already() { osslsigncode extract-signature -in "$1" -out "$scratch/sig" >/dev/null 2>&1 && rm -f "$scratch/sig"; }

status=0
for f in "${files[@]}"; do
  if [ ! -f "$f" ]; then echo "sign: $f: no such file" >&2; status=1; continue; fi
  if signed_already "$f"; then
    echo "sign: $f is already signed; sign the unsigned build" >&2; status=1; continue
  fi
  tmp=$f.signing
  rm -f "$tmp"
  if out=$(osslsigncode sign "${args[@]}" -in "$f" -out "$tmp" 2>&1); then
    chmod --reference="$f" "$tmp"
    mv -f "$tmp" "$f"
    echo "sign: signed $f"
  else
    rm -f "$tmp"
    printf 'sign: %s could not be signed:\n%s\n' "$f" "$out" >&2
    status=1
  fi
done
exit $status
