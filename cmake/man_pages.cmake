# Man pages, generated at build time by help2man from each command's --help and --version, and
# compressed as Debian installs them (share/man/man1/NAME.1.gz). Without help2man there are
# none, and the configure says so.
find_program(HELP2MAN NAMES help2man)
find_program(GZIP NAMES gzip)
if(NOT HELP2MAN OR NOT GZIP)
  message(WARNING "no man pages: help2man and gzip are needed (Debian packages help2man, gzip)")
  return()
endif()

set(MAN_DIR ${CMAKE_BINARY_DIR}/man)
# oemcom-boot is boot.sh, run here under its installed name so that its usage line says so.
file(MAKE_DIRECTORY ${MAN_DIR})
file(CREATE_LINK ${CMAKE_SOURCE_DIR}/tools/qemu/boot.sh ${MAN_DIR}/oemcom-boot SYMBOLIC)

# Command | what it does, for the NAME paragraph.
set(MAN_COMMANDS
  "te-tool|convert, inspect and check the module's TE image"
  "te-run|run the module's TE image on an emulated CPU against its port script"
  "fv-tool|write the module's FFS file, list firmware images and insert the file into one"
  "image-coverage|share of a TE image's code bytes that runs executed"
  "oemcom-boot|boot the module's image under 32-bit UEFI firmware in QEMU and judge it")
set(MAN_PAGES)
foreach(Row ${MAN_COMMANDS})
  string(REPLACE "|" ";" Row "${Row}")
  list(GET Row 0 Command)
  list(GET Row 1 Summary)
  if(Command STREQUAL "oemcom-boot")
    set(Program ${MAN_DIR}/oemcom-boot)
    set(Depends ${CMAKE_SOURCE_DIR}/tools/qemu/boot.sh ${CMAKE_SOURCE_DIR}/tools/qemu/boot_paths.sh)
  else()
    set(Program $<TARGET_FILE:${Command}>)
    set(Depends ${Command})
  endif()
  set(Page ${MAN_DIR}/${Command}.1)
  add_custom_command(OUTPUT ${Page}.gz
    COMMAND ${HELP2MAN} --no-info --section=1 "--name=${Summary}"
            "--source=oemcom ${PROJECT_VERSION}" --manual=oemcom --output=${Page} ${Program}
    COMMAND ${GZIP} -9nf ${Page}
    DEPENDS ${Depends} VERBATIM)
  list(APPEND MAN_PAGES ${Page}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${MAN_PAGES})
install(FILES ${MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
