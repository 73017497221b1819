#!/usr/bin/env bash
# The desktop entry, the AppStream metainfo and the manuals as distributions check them.
# Usage: metadata.sh SOURCE_DIR
set -uo pipefail
source_dir=$1
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

entry=$source_dir/data/example.dellmar.Kalvix.desktop
out=$(desktop-file-validate "$entry" 2>&1) || fail "desktop-file-validate: $out"
[[ -z $out ]] || fail "desktop-file-validate has hints: $out"

metainfo=$source_dir/data/example.dellmar.Kalvix.metainfo.xml
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli: $out"
# The id and the desktop file carry one name; the release is the project's version.
grep -q '<launchable type="desktop-id">example.dellmar.Kalvix.desktop</launchable>' "$metainfo" ||
    fail "the metainfo launches another desktop file"
version=$(sed -n 's/^project(Kalvix VERSION \([0-9.]*\).*/\1/p' "$source_dir/CMakeLists.txt")
grep -q "<release version=\"$version\"" "$metainfo" || fail "no release $version in the metainfo"
for shot in $(sed -n 's|.*<image>.*/docs/\([^<]*\)</image>.*|\1|p' "$metainfo"); do
    [[ -f $source_dir/docs/$shot ]] || fail "the screenshot docs/$shot does not exist"
done

for page in "$source_dir"/docs/man/*.[15]; do
    out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
        man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null) || fail "man $page failed"
    [[ -z $out ]] || fail "man warns on $page: $out"
done
# Every command and option of kalvix-cli has its place in the manual.
cli_page=$source_dir/docs/man/kalvix-cli.1
for word in trees save quick compare-classes compare-attributes compare show reconcile survey \
    all-trees jobs details csv format ignore quiet class attribute dialect rfc4512 openldap include-changed schema-name help \
    version KALVIX_CLIENT XDG_CONFIG_DIRS; do
    grep -q -- "${word//-/\\\\-}" "$cli_page" || fail "kalvix-cli(1) does not mention $word"
done

# Every key a connection may have, every kind, and the trust rules, in the configuration's
# manual; and the programs' manuals point to it.
client_page=$source_dir/docs/man/kalvix-client.json.5
for word in connections primary messages failures kind treeName uri startTls bindDn \
    passwordFile caFile allowCleartextBind timeout files file defaultContext treeFile \
    ldap schema-files ldif tree-file "TLS TRUST" examples/kalvix-client.json; do
    grep -q -- "${word//-/\\\\-}" "$client_page" ||
        fail "kalvix-client.json(5) does not mention $word"
done
for page in kalvix.1 kalvix-cli.1; do
    grep -q 'kalvix\\-client.json (5)' "$source_dir/docs/man/$page" ||
        fail "$page does not point to kalvix-client.json(5)"
done
# The annotated example is a configuration the programs take whole.
example=$source_dir/data/examples/kalvix-client.json
python3 -m json.tool "$example" >/dev/null 2>&1 || fail "$example is not valid JSON"

if ((failures > 0)); then
    echo "$failures metadata check(s) failed"
    exit 1
fi
echo "desktop entry, metainfo and manuals pass"
