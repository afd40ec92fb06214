#!/usr/bin/env bash
# Builds everything (host module, tools, IA-32 TE image, fuzz targets) and runs every test:
# the full suite in build/, including the static checks, the fuzz smoke runs and the QEMU
# boots; then the host suite again under AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/; then a read-only copy of the tree built, partly tested and installed outside it
# (tools/out_of_tree.sh).
set -euo pipefail
cd "$(dirname "$0")"
# It takes no argument; anything else is refused before anything is installed or built.
case ${1-} in
"") ;;
--help | -h)
  echo "usage: ./test.sh [--help]"
  echo "Installs what is missing, builds everything and runs every test (build/, build-asan/,"
  echo "and a read-only copy of the tree built and installed outside it)."
  exit 0
  ;;
*)
  echo "test.sh: unknown argument '$1' (usage: ./test.sh [--help])" >&2
  exit 2
  ;;
esac
tools/deps.sh
jobs=$(nproc)

# clang-tidy's passes are kept by their inputs' hash in the user's cache folder, so that another
# clone or a fresh build/ of the same files does not check them again (cmake/tidy_cached.sh).
tidy_cache=${XDG_CACHE_HOME:-$HOME/.cache}/oemcom/clang-tidy
cmake -S . -B build -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DOEMCOM_TIDY_CACHE="$tidy_cache" \
  >/dev/null
cmake --build build
ctest --test-dir build --output-on-failure -j "$jobs"

# The fuzz targets are built with the sanitizers in every build: build/ ran them already.
cmake -S . -B build-asan -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DOEMCOM_SANITIZE=ON \
  -DOEMCOM_FUZZ=OFF >/dev/null
cmake --build build-asan
# The boots, the static checks and the board builds (a tree of their own, built without the
# sanitizers) do not depend on how the host code is built.
ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE qemu -E '^(lint|board)\.'

tools/out_of_tree.sh
