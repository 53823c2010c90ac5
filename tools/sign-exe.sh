#!/usr/bin/env bash
# Authenticode-signs an exe, or the installer package (.msi) holding the
# signed exe, with the maker's certificate (osslsigncode).
#
#   tools/sign-exe.sh EXE|MSI
#
# The certificate and key come from the environment:
#   QMX_SIGN_CERT       certificate chain, PEM (or DER/SPC), the maker's first
#   QMX_SIGN_KEY        private key, PEM or DER
#   QMX_SIGN_PKCS12     instead of the two above: a .pfx/.p12 holding both
#   QMX_SIGN_PASS_FILE  optional: file holding the key's password
#   QMX_SIGN_TIMESTAMP  optional: RFC 3161 timestamp server URL; with it the
#                       signature stays valid after the certificate expires
#   QMX_SIGN_NAME       optional: program name shown by Windows (QmxAssistant)
#   QMX_SIGN_URL        optional: the maker's web address shown with it
#
# The exe is replaced only when signing succeeded; on any failure it is left
# as it was and the script exits non-zero.
set -euo pipefail

exe=${1:?usage: tools/sign-exe.sh EXE}
[ -f "$exe" ] || { echo "sign-exe: no such file: $exe" >&2; exit 2; }
command -v osslsigncode >/dev/null || { echo "sign-exe: osslsigncode missing (tools/install-deps.sh)" >&2; exit 2; }

args=(sign -h sha256 -n "${QMX_SIGN_NAME:-QmxAssistant}")
if [ -n "${QMX_SIGN_PKCS12:-}" ]; then
  [ -f "$QMX_SIGN_PKCS12" ] || { echo "sign-exe: no such file: $QMX_SIGN_PKCS12" >&2; exit 2; }
  args+=(-pkcs12 "$QMX_SIGN_PKCS12")
else
  for v in QMX_SIGN_CERT QMX_SIGN_KEY; do
    [ -n "${!v:-}" ] || { echo "sign-exe: set $v (or QMX_SIGN_PKCS12)" >&2; exit 2; }
    [ -f "${!v}" ] || { echo "sign-exe: no such file: ${!v} ($v)" >&2; exit 2; }
  done
  args+=(-certs "$QMX_SIGN_CERT" -key "$QMX_SIGN_KEY")
fi
[ -z "${QMX_SIGN_PASS_FILE:-}" ] || args+=(-readpass "$QMX_SIGN_PASS_FILE")
[ -z "${QMX_SIGN_URL:-}" ] || args+=(-i "$QMX_SIGN_URL")
[ -z "${QMX_SIGN_TIMESTAMP:-}" ] || args+=(-ts "$QMX_SIGN_TIMESTAMP")

out="$exe.signing.$$"
trap 'rm -f "$out"' EXIT
osslsigncode "${args[@]}" -in "$exe" -out "$out" >/dev/null
mv -f "$out" "$exe"
trap - EXIT
echo "sign-exe: signed $exe"
