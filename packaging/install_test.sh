#!/bin/sh
# `cmake --install` of a build folder, as a user without root runs it: with
# --prefix DIR every file lands under DIR (the unit in DIR/lib/systemd/system,
# the settings in DIR/etc/tillgate). With the prefix /usr, as the package is
# made, the unit and the settings go where Debian keeps them. Both installs
# go under DESTDIR, which takes absolute destinations too, so a wrong rule
# shows as a file outside the prefix and changes nothing on this machine.
#
# usage: install_test.sh BUILD_DIR [CMAKE]
set -eu
build=$1
cmake=${2:-cmake}
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tillgate-install-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
fail() {
  echo "install_test: FAIL: $*" >&2
  exit 1
}
# Every file installed under `root`, as the path it would have without it.
installed() { (cd "$1" && find . ! -type d | sed 's#^\.##' | sort); }

prefix=$scratch/prefix
DESTDIR=$scratch/root "$cmake" --install "$build" --prefix "$prefix" >"$scratch/log" 2>&1 ||
  fail "cmake --install --prefix $prefix: $(cat "$scratch/log")"
installed "$scratch/root" >"$scratch/files"
outside=$(grep -v "^$prefix/" "$scratch/files" || true)
[ -z "$outside" ] || fail "installed outside the prefix $prefix: $outside"
for file in bin/tillgate-headless lib/systemd/system/tillgate.service etc/tillgate/tillgate.reg \
  share/man/man1/tillgate-headless.1.gz share/doc/tillgate/README.md; do
  grep -qx "$prefix/$file" "$scratch/files" || fail "no $prefix/$file: $(cat "$scratch/files")"
done
echo "install_test: --prefix $prefix: $(wc -l <"$scratch/files") files, all under the prefix"

DESTDIR=$scratch/usr "$cmake" --install "$build" --prefix /usr >"$scratch/log" 2>&1 ||
  fail "cmake --install --prefix /usr: $(cat "$scratch/log")"
installed "$scratch/usr" >"$scratch/files"
for file in /usr/bin/tillgate-headless /lib/systemd/system/tillgate.service \
  /etc/tillgate/tillgate.reg; do
  grep -qx "$file" "$scratch/files" || fail "no $file with the prefix /usr"
done
outside=$(grep -v -e '^/usr/' -e '^/lib/systemd/system/tillgate.service$' \
  -e '^/etc/tillgate/tillgate.reg$' "$scratch/files" || true)
[ -z "$outside" ] || fail "installed outside /usr, the unit and the settings: $outside"
echo "install_test: --prefix /usr: the unit in /lib/systemd/system, the settings in /etc/tillgate"
