# shellcheck shell=bash
# The flash boot: the module inserted by fv-tool into a copy of the firmware's code image, where
# the PEI core finds it in the volume it dispatches from and runs it. The boot is judged up to
# the firmware's boot manager. Sourced by boot.sh, after outputs.sh.

# The boot manager's first line on console file $1; nothing before it. The boot manager
# (BdsDxe) prints one line for each boot option it tries, "BdsDxe: loading Boot0002 ..." or
# "BdsDxe: failed to load Boot0001 ...": it runs once DXE has dispatched every driver, so the
# line shows that the firmware went on past the module through PEI and DXE to booting.
boot_manager_line() {
  [[ ! -f $1 ]] || console_text "$1" | grep -m 1 -o 'BdsDxe: .*' || true
}

# Waits until console file $1 shows the boot manager's first line, process $2 ends or $3
# seconds pass. Returns 0 when the line came.
await_boot_manager() {
  local deadline=$((SECONDS + $3))
  while ((SECONDS < deadline)) && kill -0 "$2" 2>/dev/null; do
    [[ -z $(boot_manager_line "$1") ]] || return 0
    sleep 0.2
  done
  [[ -n $(boot_manager_line "$1") ]]
}
