# Debian's x64 OVMF: whether its 4 MB code images run PEI in 64-bit mode. Its 2022 builds
# (Debian 12) run PEI in 32-bit mode in their 4 MB images, where the module runs; its 2 MB
# images and its later builds (Debian 13) have an x64 PEI core, which fv-tool must refuse. The
# tests hold fv-tool to this, so it is read from the package, not from fv-tool.
execute_process(COMMAND dpkg-query -W -f \${Version} ovmf OUTPUT_VARIABLE OVMF_VERSION
                ERROR_QUIET)
if(OVMF_VERSION MATCHES "^2022\\.")
  set(OVMF_4M_PEI_X64 OFF)
else()
  set(OVMF_4M_PEI_X64 ON)
endif()
