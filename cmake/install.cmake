# cmake --install: the commands in bin/, the installed oemcom-boot's helpers and paths file in
# libexec/oemcom/, the image with its PE, link map, debug twin, board values and loader in
# share/oemcom/ with every shipped board, the README and man pages; and the build folder's own
# paths file, which boot.sh --build DIR reads. Paths follow GNUInstallDirs.

# boot.sh's paths file (tools/qemu/boot_paths.sh) for this build folder: absolute paths.
set(OEMCOM_SHARE ${CMAKE_INSTALL_DATADIR}/oemcom)
set(OEMCOM_HELPERS ${CMAKE_INSTALL_LIBEXECDIR}/oemcom/qemu)
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/oemcom-paths.env CONTENT "\
IMAGE=${IA32_DIR}/oemcom.te
LOADER=${IA32_DIR}/bootia32.efi
TE_RUN=$<TARGET_FILE:te-run>
TE_TOOL=$<TARGET_FILE:te-tool>
FV_TOOL=$<TARGET_FILE:fv-tool>
BOARD=${CMAKE_BINARY_DIR}/board/board.env
VERSION=${PROJECT_VERSION}
")

# The installation's: paths relative to the helpers' folder, so that the prefix can move.
function(relative_to_helpers Variable Path)
  file(RELATIVE_PATH Relative /prefix/${OEMCOM_HELPERS} /prefix/${Path})
  set(${Variable} ${Relative} PARENT_SCOPE)
endfunction()
relative_to_helpers(ToShare ${OEMCOM_SHARE})
relative_to_helpers(ToBin ${CMAKE_INSTALL_BINDIR})
# oemcom-boot finds its helpers at ../libexec/oemcom/qemu from its own folder.
file(RELATIVE_PATH BinToHelpers /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${OEMCOM_HELPERS})
if(NOT BinToHelpers STREQUAL "../libexec/oemcom/qemu")
  message(FATAL_ERROR "oemcom-boot expects its helpers at ../libexec/oemcom/qemu from bin/, "
                      "not ${BinToHelpers}: keep CMAKE_INSTALL_BINDIR and _LIBEXECDIR as given")
endif()
file(WRITE ${CMAKE_BINARY_DIR}/install/oemcom-paths.env "\
IMAGE=${ToShare}/oemcom.te
LOADER=${ToShare}/bootia32.efi
TE_RUN=${ToBin}/te-run
TE_TOOL=${ToBin}/te-tool
FV_TOOL=${ToBin}/fv-tool
BOARD=${ToShare}/board.env
VERSION=${PROJECT_VERSION}
")

install(TARGETS te-tool te-run fv-tool image-coverage RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS tools/qemu/boot.sh DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME oemcom-boot)
install(FILES tools/qemu/boot_paths.sh tools/qemu/outputs.sh tools/qemu/flash.sh
              tools/qemu/firmware.sh tools/qemu/placement.sh tools/qemu/board_values.sh
              tools/qemu/gdb.sh tools/qemu/gdb_unwind.py tools/qemu/gdb_find_copy.py
              tools/qemu/trace_filter.awk
              ${CMAKE_BINARY_DIR}/install/oemcom-paths.env
        DESTINATION ${OEMCOM_HELPERS})
install(FILES tools/cli.sh DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/oemcom)
install(PROGRAMS tools/deps.sh DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/oemcom)

install(FILES ${IA32_DIR}/oemcom.te ${IA32_DIR}/oemcom.efi ${IA32_DIR}/oemcom.map
              ${IA32_DIR}/oemcom.debug.efi
              ${IA32_DIR}/bootia32.efi ${CMAKE_BINARY_DIR}/board/board.env
        DESTINATION ${OEMCOM_SHARE})
# The shipped boards, and the one built for when it is not among them.
file(GLOB OEMCOM_SHIPPED_BOARDS ${CMAKE_SOURCE_DIR}/boards/*.board)
list(APPEND OEMCOM_SHIPPED_BOARDS ${OEMCOM_BOARD})
list(REMOVE_DUPLICATES OEMCOM_SHIPPED_BOARDS)
install(FILES ${OEMCOM_SHIPPED_BOARDS} DESTINATION ${OEMCOM_SHARE}/boards)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

include(cmake/man_pages.cmake)
include(cmake/package.cmake)
