#!/bin/sh
# Installs the build into a scratch tree and checks what the desktop needs of it: the files in
# their places, the menu entry and metadata valid, every file type of the entry known to the
# type database with its extension, and the installed program running.
set -eu
build=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR=$stage cmake --install "$build" --prefix /usr >/dev/null
share=$stage/usr/share
id=de.kurvix.Kurvix
for f in "$stage/usr/bin/kurvix" "$share/applications/$id.desktop" "$share/metainfo/$id.metainfo.xml" \
         "$share/mime/packages/$id.xml" "$share/icons/hicolor/scalable/apps/$id.svg" \
         "$share/kurvix/examples/curve-family.kvx" "$share/kurvix/examples/legacy.kvo" \
         "$share/man/man1/kurvix.1.gz" "$share/man/de/man1/kurvix.1.gz" "$share/doc/kurvix/copyright" \
         "$share/kurvix/handbuch/kurvix.qch" "$share/kurvix/handbuch/kurvix.qhc"; do
  [ -s "$f" ] || { echo "missing: $f"; exit 1; }
done
desktop-file-validate "$share/applications/$id.desktop"
appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml"
grep -q "^Icon=$id\$" "$share/applications/$id.desktop"
update-mime-database "$share/mime"
for ext in kvx kvo; do
  grep -q "^application/x-kurvix[a-z-]*:\*\.$ext\$" "$share/mime/globs" || { echo "no type for .$ext"; exit 1; }
done
for type in $(sed -n 's/^MimeType=//p' "$share/applications/$id.desktop" | tr ';' ' '); do
  grep -q "^$type\$" "$share/mime/types" || { echo "unknown type $type"; exit 1; }
done
"$stage/usr/bin/kurvix" --version
