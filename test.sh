#!/usr/bin/env bash
# Builds everything (host module, tools, IA-32 TE image, fuzz targets) and runs every test once,
# in build-asan/, with all host code under AddressSanitizer and UndefinedBehaviorSanitizer: the
# unit tests, the static checks, the fuzz smoke runs and the QEMU boots; then a read-only copy of
# the tree built without the sanitizers, as users build it, partly tested and installed outside
# it (tools/out_of_tree.sh). build/ is left to run.sh and to the user.
set -euo pipefail
cd "$(dirname "$0")"
# It takes no argument; anything else is refused before anything is installed or built.
case ${1-} in
"") ;;
--help | -h)
  echo "usage: ./test.sh [--help]"
  echo "Installs what is missing, builds everything and runs every test (build-asan/, and a"
  echo "read-only copy of the tree built and installed outside it)."
  exit 0
  ;;
*)
  echo "test.sh: unknown argument '$1' (usage: ./test.sh [--help])" >&2
  exit 2
  ;;
esac
tools/deps.sh
SECONDS=0
lap() { # part name; prints the time the part took
  printf '== test.sh: %s took %d min %02d s\n' "$1" $((SECONDS / 60)) $((SECONDS % 60))
  SECONDS=0
}
# One test more than there are cores: a QEMU boot waits on QEMU and gdb part of its time.
jobs=$(($(nproc) + 1))

# clang-tidy's passes are kept by their inputs' hash in the user's cache folder, so that another
# clone or a fresh build folder of the same files does not check them again
# (cmake/tidy_cached.sh). OEMCOM_FUZZ is given: an older build-asan/ may have it switched off.
tidy_cache=${XDG_CACHE_HOME:-$HOME/.cache}/oemcom/clang-tidy
cmake -S . -B build-asan -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DOEMCOM_SANITIZE=ON \
  -DOEMCOM_FUZZ=ON -DOEMCOM_TIDY_CACHE="$tidy_cache" >/dev/null
cmake --build build-asan
lap "build-asan/: configure and build"
ctest --test-dir build-asan --output-on-failure -j "$jobs"
lap "build-asan/: the suite"

tools/out_of_tree.sh
lap "tools/out_of_tree.sh"
