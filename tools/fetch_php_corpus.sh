#!/usr/bin/env bash
# Fetches real-world PHP code (Debian packages of PHP applications and
# libraries) into a directory, for tests/test_corpus.py:
#   tools/fetch_php_corpus.sh DIR && ZARNU_PHP_CORPUS=DIR make test
# The packages are downloaded and unpacked, not installed.
set -euo pipefail
dir=${1:?usage: fetch_php_corpus.sh DIR}
packages=(phpmyadmin roundcube-core php-symfony-console php-symfony-http-foundation
          php-twig php-guzzlehttp-guzzle php-league-commonmark)
mkdir -p "$dir/debs"
(cd "$dir/debs" && apt-get download "${packages[@]}")
for deb in "$dir"/debs/*.deb; do dpkg-deb -x "$deb" "$dir/root"; done
find "$dir/root" -name '*.php' | wc -l
