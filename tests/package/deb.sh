#!/usr/bin/env bash
# Builds the Debian package from the build folder, then checks what it holds, what it
# depends on, and what lintian finds. Usage: deb.sh BUILD_DIR VERSION CPACK
set -uo pipefail
build=$1
version=$2
cpack=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log"
    exit 1
fi
deb=$work/kalvix_${version}_$(dpkg --print-architecture).deb
if [[ ! -f $deb ]]; then
    ls "$work"
    echo "FAIL: no $deb"
    exit 1
fi

dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./|/|; s|/$||' >"$work/list"
for file in \
    /usr/bin/kalvix /usr/bin/kalvix-cli \
    /usr/share/applications/example.dellmar.Kalvix.desktop \
    /usr/share/metainfo/example.dellmar.Kalvix.metainfo.xml \
    /usr/share/icons/hicolor/scalable/apps/kalvix.svg \
    /usr/share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/kalvix.png \
    /usr/share/man/man1/kalvix.1.gz /usr/share/man/man1/kalvix-cli.1.gz \
    /usr/share/man/man5/kalvix-client.json.5.gz \
    /usr/share/doc/kalvix/examples/kalvix-client.json \
    /usr/share/bash-completion/completions/kalvix-cli \
    /usr/share/bash-completion/completions/kalvix \
    /usr/share/kalvix/kalvix.txt /usr/share/kalvix/demo/kalvix-client.json \
    /usr/share/doc/kalvix/LICENSE /usr/share/doc/kalvix/copyright \
    /usr/share/doc/kalvix/changelog.gz \
    /usr/share/doc/kalvix/examples/kalvix-survey.service \
    /usr/share/doc/kalvix/examples/kalvix-survey.timer; do
    grep -qxF "$file" "$work/list" || fail "the package lacks $file"
done
# Everything under /usr, nothing of the build or the tests.
grep -v -e '^/usr' -e '^$' -e '^\.$' "$work/list" | while read -r stray; do
    echo "FAIL: $stray is outside /usr"
done | grep . && failures=$((failures + 1))
grep -E '\.py$|/tests?/|CMake|\.a$' "$work/list" && fail "build or test files in the package"

# The libraries the binaries link, as dpkg-shlibdeps found them.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libqt6core6 libqt6widgets6 libldap; do
    [[ $depends == *"$library"* ]] || fail "Depends lacks $library: $depends"
done
[[ $(dpkg-deb -f "$deb" Package) == kalvix ]] || fail "the package is not called kalvix"
# ldapmodify applies what reconcile writes.
[[ $(dpkg-deb -f "$deb" Recommends) == ldap-utils ]] || fail "Recommends is not ldap-utils"

# The installed entry and metainfo, as the package lays them out.
dpkg-deb -x "$deb" "$work/root"
out=$(desktop-file-validate "$work/root/usr/share/applications/example.dellmar.Kalvix.desktop" 2>&1) ||
    fail "desktop-file-validate: $out"
[[ -z $out ]] || fail "desktop-file-validate: $out"
grep -qx 'Exec=kalvix %F' "$work/root/usr/share/applications/example.dellmar.Kalvix.desktop" ||
    fail "the entry does not start kalvix with the files"
cmp -s "$work/root/usr/share/doc/kalvix/LICENSE" "$(dirname "$0")/../../LICENSE" ||
    fail "the licence differs from LICENSE"
file "$work/root/usr/share/icons/hicolor/48x48/apps/kalvix.png" | grep -q "48 x 48" ||
    fail "the 48 px icon is not 48 x 48"

if command -v lintian >/dev/null; then
    lintian --no-tag-display-limit "$deb" >"$work/lintian.log" 2>&1
    if grep -q '^E:' "$work/lintian.log"; then
        grep '^E:' "$work/lintian.log"
        fail "lintian reports errors"
    fi
fi

if ((failures > 0)); then
    echo "$failures package check(s) failed"
    exit 1
fi
echo "the package holds what it should"
