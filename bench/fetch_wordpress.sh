#!/usr/bin/env bash
# Fetches WordPress (Debian's `wordpress` package, downloaded and unpacked, not
# installed) as the code base for bench/parse_throughput.py:
#   bench/fetch_wordpress.sh DIR
#   python bench/parse_throughput.py DIR/root/usr/share/wordpress
# DIR appears only once it is complete, so a check for it never sees half an
# unpacked tree.
set -euo pipefail
dir=${1:?usage: fetch_wordpress.sh DIR}
if [ -e "$dir" ]; then
	echo "$dir exists already" >&2
	exit 1
fi
mkdir -p "$(dirname "$dir")"
partial=$(mktemp -d "$dir.partial.XXXXXX")
trap 'rm -rf "$partial"' EXIT
mkdir "$partial/debs"
(cd "$partial/debs" && apt-get download wordpress)
for deb in "$partial"/debs/*.deb; do dpkg-deb -x "$deb" "$partial/root"; done
chmod 755 "$partial"
mv "$partial" "$dir"
trap - EXIT
find "$dir/root" -name '*.php' -type f | wc -l
