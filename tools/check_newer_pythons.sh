#!/usr/bin/env bash
# Compiles every source against the headers of newer CPython releases (and a
# free-threaded configuration), which the machines do not have installed.
# The headers come from Debian unstable's libpython3.X-dev packages, fetched
# into build/pyheaders with a private apt state, so the system's apt setup is
# untouched. A failed download is reported and skipped; a compile error fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build/pyheaders
versions=(3.13 3.14)
mkdir -p "$work/apt/lists/partial" "$work/apt/cache/archives/partial" "$work/debs"
cat > "$work/apt/unstable.sources" <<SOURCES
Types: deb
URIs: $(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
Suites: unstable
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
apt_opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$work/apt"
          -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache")
fetch() {
  apt-get "${apt_opts[@]}" update -qq &&
    (cd "$work/debs" && for v in "${versions[@]}"; do
       apt-get "${apt_opts[@]}" download -qq "libpython$v-dev" 2>/dev/null || exit 1
     done) &&
    for deb in "$work"/debs/*.deb; do dpkg-deb -x "$deb" "$work/root"; done
}
if [ ! -d "$work/root" ] && ! fetch; then
  echo "could not fetch newer CPython headers; skipping this check" >&2
  exit 0
fi
core=$(find "$root/build" -path '*tree_sitter/core/lib/include' -type d | head -n 1)
[ -n "$core" ] || { echo "tree-sitter headers not found: build first" >&2; exit 1; }
status=0
for v in "${versions[@]}"; do
  for gil in "" "-DPy_GIL_DISABLED=1"; do
    echo "checking against CPython $v ${gil:+(free-threaded)}"
    (cd "$root" && find src -name '*.cpp' -print0 | sort -z) |
      xargs -0 -P "$(nproc)" -I{} g++ -std=c++20 -fsyntax-only -Wall -Wextra -Werror \
        $gil -DTREE_SITTER_HIDE_SYMBOLS -I"$root/src" -I"$core" \
        -I"$work/root/usr/include" -I"$work/root/usr/include/python$v" "$root/{}" ||
      status=1
  done
done
exit $status
