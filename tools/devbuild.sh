#!/usr/bin/env bash
# Quick developer build without pip/CMake: compiles the extension straight
# into build/dev/ (put that on PYTHONPATH). Needs the tree-sitter core sources,
# fetched once into build/dev/deps with pip and patched with cmake/patches/ as
# the CMake build does. SANITIZE=1 adds ASan/UBSan.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build/dev${SANITIZE:+-asan}
deps=$root/build/dev/deps
mkdir -p "$out" "$deps"
core=$deps/tree_sitter-0.26.1/tree_sitter/core/lib
patches=$(find "$root/cmake/patches" -name 'tree-sitter-*.patch' 2>/dev/null | sort)
stamp=$deps/.patched-$(for p in $patches; do sha256sum < "$p"; done | sha256sum | cut -c1-16)
if [ ! -f "$stamp" ]; then
  [ -f "$deps"/tree_sitter-0.26.1.tar.gz ] ||
    python3 -m pip download -q --no-deps --no-binary :all: tree-sitter==0.26.1 -d "$deps"
  rm -rf "$deps"/tree_sitter-0.26.1 "$deps"/.patched-*
  tar -xzf "$deps"/tree_sitter-0.26.1.tar.gz -C "$deps"
  for p in $patches; do patch -s -p1 --forward --batch --no-backup-if-mismatch -d "$deps"/tree_sitter-0.26.1 -i "$p"; done
  touch "$stamp"
fi
san=()
if [ -n "${SANITIZE:-}" ]; then san=(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined); fi
pyinc=$(python3 -c 'import sysconfig; print(sysconfig.get_paths()["include"])')
suffix=$(python3 -c 'import sysconfig; print(sysconfig.get_config_var("EXT_SUFFIX"))')
if [ ! -f "$out/ts.o" ] || [ "$stamp" -nt "$out/ts.o" ]; then
  gcc -O2 -g -fPIC -D_DEFAULT_SOURCE "${san[@]}" -I"$core/include" -I"$core/src" -c "$core/src/lib.c" -o "$out/ts.o"
fi
objs=()
pids=()
for src in $(cd "$root" && find src -name '*.cpp' | sort); do
  obj=$out/$(echo "$src" | tr / _).o
  if [ ! -f "$obj" ] || [ "$root/$src" -nt "$obj" ] || [ -n "$(find "$root/src" -name '*.h' -newer "$obj" -o -name '*.def' -newer "$obj" | head -1)" ]; then
    g++ -std=c++20 -O1 -g -fPIC -Wall -Wextra -Werror "${san[@]}" -I"$root/src" -I"$core/include" -I"$pyinc" -c "$root/$src" -o "$obj" &
    pids+=($!)
  fi
  objs+=("$obj")
done
for pid in "${pids[@]}"; do wait "$pid"; done
g++ -shared "${san[@]}" -o "$out/zarnu$suffix" "${objs[@]}" "$out/ts.o"
echo "$out/zarnu$suffix"
