#!/bin/sh
# Drives the real qmxpublish binary the way the demo prepares its server
# tree: copy the bundled tree, replace the placeholder host, put an installer
# beside the description, describe it, then check and explain the result.
# Usage: demo_tree.sh QMXPUBLISH DEMO_SERVER_DIR
set -eu
publish=$1
source=$2
host=127.0.0.1:8080
files_path=downloads/orvanteer/customers/customer007/windows/files

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# The bundled tree as committed still carries the placeholder digest.
if "$publish" check "$source" >"$work/raw.txt"; then
    cat "$work/raw.txt"; fail "the unprepared tree checked clean"
fi
grep -q '^error: .*orvanteer.xml: MD5 "QMX_DEMO_MD5"' "$work/raw.txt" ||
    { cat "$work/raw.txt"; fail "no error for the placeholder digest"; }

cp -R "$source" "$work/server"
find "$work/server" -name '*.xml' -exec sed -i "s/QMX_DEMO_HOST/$host/g" {} +
files=$work/server/$files_path
printf 'MZ stand-in installer' >"$files/setup.exe"
"$publish" describe --version 1.0.0 --url "https://$host/$files_path/setup.exe" \
    --installer "$files/setup.exe" --out "$files/orvanteer.xml" >"$work/describe.txt" ||
    { cat "$work/describe.txt"; fail "describe"; }
digest=$(md5sum "$files/setup.exe" | cut -d' ' -f1)
grep -q "<MD5>$digest</MD5>" "$files/orvanteer.xml" || { cat "$files/orvanteer.xml"; fail "digest"; }

"$publish" check --host "$host" "$work/server" >"$work/check.txt" ||
    { cat "$work/check.txt"; fail "check of the prepared tree"; }
grep -qx 'summary: 0 error(s), 0 warning(s)' "$work/check.txt" ||
    { cat "$work/check.txt"; fail "findings on the prepared tree"; }

"$publish" explain "$work/server" >"$work/explain.txt" || fail "explain"
for language in zh-CN en ko-KR rb-JP; do
    for family in simple spotlight; do
        grep -q "^customer 7 $language $family: offer \"" "$work/explain.txt" ||
            { cat "$work/explain.txt"; fail "no offer for customer 7 $language $family"; }
    done
done
echo "ok: demo tree prepared, checked and explained"
