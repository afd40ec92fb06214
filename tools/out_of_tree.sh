#!/usr/bin/env bash
# The build as a user runs it from a read-only source tree: a copy of this tree (its tracked
# and untracked files, as git lists them, build folders left out) made read-only, configured
# and built in a folder outside it, a part of its tests run there, then installed into a
# prefix and run from the prefix with the build folder deleted. Nothing may change in the
# copy: root ignores the write bits, so the copy's listing (names, sizes, times, modes) is
# compared before and after as well.
# The part of the tests: those that take files by path from the build they belong to. boot.sh's
# command-line table (--build DIR and its refusals) and the flash boot, which takes the image,
# te-run, te-tool, fv-tool and the board from the build folder's oemcom-paths.env; then the
# installed te-run on the installed image and the installed oemcom-boot's drive boot, which
# takes every file (the loader too) from the prefix. The other tests use the same paths file
# or compile-time paths into the build folder, and run in test.sh's full passes.
# Usage: tools/out_of_tree.sh
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d "${TMPDIR:-/tmp}/oemcom-out-of-tree.XXXXXX")
source=$work/source
build=$work/build
prefix=$work/prefix
trap 'chmod -R u+w "$work" && rm -rf "$work"' EXIT

mkdir "$source"
git ls-files -z --cached --others --exclude-standard |
  tar --null --files-from=- --ignore-failed-read -cf - 2>/dev/null | tar -xf - -C "$source"
chmod -R a-w "$source"
listing() { find "$source" -printf '%P %s %T@ %m\n' | sort; }
before=$(listing)

cmake -S "$source" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DOEMCOM_FUZZ=OFF >/dev/null
cmake --build "$build" --target image boot_loader te-run te-tool fv-tool image-coverage \
  man_pages package_docs
ctest --test-dir "$build" --output-on-failure -j 2 \
  -R '^qemu_(boot_script|flash_secboot_probe_0x00)$'
cmake --install "$build" --prefix "$prefix" >/dev/null
rm -rf "$build"
"$prefix/bin/te-run" --probe 0x00 "$prefix/share/oemcom/oemcom.te" | tail -n 1
"$prefix/bin/oemcom-boot" --probe 0x00 | tail -n 1

if [[ $(listing) != "$before" ]]; then
  echo "out_of_tree.sh: the build changed the read-only source tree:" >&2
  diff <(echo "$before") <(listing) >&2 || true
  exit 1
fi
echo "out_of_tree.sh: built, tested and installed outside a read-only source tree"
