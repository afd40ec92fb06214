# shellcheck shell=bash
# shellcheck disable=SC2034,SC2154 # variables shared with boot.sh, which sources this file
# Where boot.sh takes the files of one build from when no option names them: the image, the
# loader, te-run, te-tool, fv-tool and the board values. A build folder and an installation
# each hold a paths file that CMake writes, NAME=PATH lines (IMAGE, LOADER, TE_RUN, TE_TOOL,
# FV_TOOL, BOARD) and VERSION=X.Y.Z:
# - BUILD/oemcom-paths.env, read with --build BUILD: absolute paths into that build folder;
# - PREFIX/libexec/oemcom/qemu/oemcom-paths.env beside the installed oemcom-boot's helpers:
#   paths relative to that file's folder, so that the installation can move as a whole.
# Nothing is guessed from where the source tree is.

readonly BOOT_PATHS_FILE=oemcom-paths.env

# read_boot_paths FILE: sets paths_image, paths_loader, paths_te_run, paths_te_tool,
# paths_fv_tool, paths_board and paths_version from FILE; a relative path is taken from FILE's
# folder. Returns 1 with paths_error set when FILE cannot be read or misses a name.
read_boot_paths() {
  local file=$1 folder name value
  local -A variable=([IMAGE]=paths_image [LOADER]=paths_loader [TE_RUN]=paths_te_run
    [TE_TOOL]=paths_te_tool [FV_TOOL]=paths_fv_tool [BOARD]=paths_board [VERSION]=paths_version)
  if [[ ! -r $file ]]; then
    paths_error="no $BOOT_PATHS_FILE in the build folder: $file (configure the build first)"
    return 1
  fi
  folder=$(cd "$(dirname "$file")" && pwd)
  for name in "${variable[@]}"; do
    printf -v "$name" '%s' ''
  done
  while IFS='=' read -r name value; do
    [[ -n ${variable[$name]-} ]] || continue
    [[ $name == VERSION || $value == /* ]] || value=$folder/$value
    printf -v "${variable[$name]}" '%s' "$value"
  done <"$file"
  for name in "${!variable[@]}"; do
    if [[ -z ${!variable[$name]} ]]; then
      paths_error="$file: no $name line"
      return 1
    fi
  done
}

# boot_default_paths PATHS_FILE: fills those of image, loader, te_run, te_tool, fv_tool and
# board that no option gave from PATHS_FILE; with no PATHS_FILE every file this boot needs
# (loader for a drive boot, fv_tool for --flash or a code image named by path) must have been
# given. Returns 1 with
# paths_error set on failure.
boot_default_paths() {
  local option needed=(image te_run te_tool board)
  if [[ -n $1 ]]; then
    read_boot_paths "$1" || return 1
    : "${image:=$paths_image}" "${loader:=$paths_loader}" "${te_run:=$paths_te_run}"
    : "${te_tool:=$paths_te_tool}" "${fv_tool:=$paths_fv_tool}" "${board:=$paths_board}"
    return 0
  fi
  # fv-tool reads a code image named by path (the machine of its DXE core) as well.
  if ((flash)) || [[ $firmware == */* ]]; then needed+=(fv_tool); fi
  ((flash)) || needed+=(loader)
  for option in "${needed[@]}"; do
    [[ -z ${!option} ]] || continue
    option=${option//_/-}
    paths_error="no build to take the $option from: pass --build DIR or --$option PATH"
    return 1
  done
}

# boot_version PATHS_FILE: prints "oemcom-boot (oemcom) X.Y.Z", the version PATHS_FILE names,
# or with none, the one the source tree's CMakeLists.txt states.
boot_version() {
  local version
  if [[ -n $1 ]] && read_boot_paths "$1"; then
    version=$paths_version
  else
    version=$(sed -n 's/^project(oemcom VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt" \
      2>/dev/null) || true
  fi
  echo "oemcom-boot (oemcom) ${version:-unknown}"
}
