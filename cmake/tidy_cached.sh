#!/usr/bin/env bash
# Runs clang-tidy on one source file of a build, unless the same check already passed on the
# same inputs: the file's compile command(s), every file its object was built from (the
# Ninja build's dependency record, system headers included), the .clang-tidy in force and
# clang-tidy's version. A pass is kept under the cache folder by the hash of those inputs,
# with its output, which a later run with the same inputs prints instead of running again.
# Paths into the source tree and the build folder are hashed as names relative to them, so that
# another clone or build folder of the same files finds the same passes when CACHE_DIR is
# shared. Anything that cannot be hashed (no dependency record: another generator, or the
# object not built) runs clang-tidy and keeps nothing.
# Usage: tidy_cached.sh CLANG_TIDY BUILD_DIR CACHE_DIR FILE
set -euo pipefail
tidy=$1 build=$2 cache=$3 file=$4
source_dir=$(cd "$(dirname "$0")/.." && pwd)

# TEXT with the build folder's and the source tree's paths as @BUILD@ and @SOURCE@.
relative() {
  local text=${1//"$build"/@BUILD@}
  printf '%s\n' "${text//"$source_dir"/@SOURCE@}"
}

# The compile commands of FILE in the build's compile database (clang-tidy checks FILE once
# for each): CMake writes each entry's "command" and then its "file" on lines of their own.
entries=$(awk -v file="$file" '
  /^  "command": / { command = $0 }
  $0 == "  \"file\": \"" file "\"" || $0 == "  \"file\": \"" file "\"," { print command }' \
  "$build/compile_commands.json")

key=
object=$(sed -n 's/.* -o \([^ ]*\) .*/\1/p' <<<"$entries" | head -n 1)
if [[ -n $object ]] && command -v ninja >/dev/null &&
  deps=$(cd "$build" && ninja -t deps "$object" 2>/dev/null) &&
  [[ $deps == *"(VALID)"* ]]; then
  key=$(
    {
      "$tidy" --version
      "$tidy" --dump-config "$file" 2>/dev/null
      relative "$entries"
      relative "$(sed -n 's/^    //p' <<<"$deps" | xargs -d '\n' sha256sum)"
    } | sha256sum | cut -d ' ' -f 1
  )
fi

if [[ -n $key && -f $cache/$key ]]; then
  cat "$cache/$key"
  exit 0
fi
output=$("$tidy" -p "$build" --quiet "$file" 2>&1) || {
  status=$?
  printf '%s\n' "$output"
  exit "$status"
}
printf '%s\n' "$output"
if [[ -n $key ]]; then
  mkdir -p "$cache"
  printf '%s\n' "$output" >"$cache/$key.$$" && mv "$cache/$key.$$" "$cache/$key"
fi
