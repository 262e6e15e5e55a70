#!/bin/sh
# Builds the Debian package of a build tree, as `make package` does, and has lintian check it:
# no error and no warning. Skipped (77) where lintian is not installed.
set -eu
build=$1
command -v lintian >/dev/null || { echo "lintian ist nicht installiert"; exit 77; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/kurvix_*.deb)
dpkg-deb -c "$deb" > "$out/list"
for f in usr/bin/kurvix usr/share/man/man1/kurvix.1.gz usr/share/man/de/man1/kurvix.1.gz \
         usr/share/doc/kurvix/copyright usr/share/doc/kurvix/changelog.gz; do
  grep -q " \./$f\$" "$out/list" || { echo "fehlt im Paket: $f"; exit 1; }
done
status=0
dpkg-deb -f "$deb" Depends | grep -q "libqt6sql6-sqlite" || { echo "das Paket verlangt den SQLite-Treiber des Handbuchs nicht"; exit 1; }
lintian --fail-on error,warning "$deb" > "$out/report" 2>&1 || status=$?
grep -v "^running with root privileges" "$out/report" || true
[ $status -eq 0 ] && echo "lintian: ohne Fehler und Warnungen"
exit $status
