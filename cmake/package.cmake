# cpack -G DEB: oemcom_<version>_<arch>.deb. Its Depends come from the shared libraries the
# commands link (dpkg-shlibdeps, Debian package dpkg-dev); QEMU, the 32-bit firmware and
# UEFIExtract, which oemcom-boot and the tests use, are recommended. The copyright file and the
# changelog go where Debian keeps them, the changelog compressed.
set(CPACK_PACKAGE_NAME oemcom)
set(CPACK_PACKAGE_VENDOR "oemcom")
set(OEMCOM_MAINTAINER "oemcom maintainers <oemcom@example.org>" CACHE STRING
    "The package's Maintainer: name and address")
set(CPACK_PACKAGE_CONTACT "${OEMCOM_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "serial debug port bring-up module for 32-bit x86 firmware, with its tools")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "\
The OEM_Init_COM firmware module as a TE image (share/oemcom/oemcom.te), with
its PE image, link map, board values and a UEFI boot loader, and the host
commands that build, check and run it: te-tool converts and checks TE images,
te-run runs the image on an emulated CPU against its port script, fv-tool puts
the module into a firmware volume, image-coverage measures the code it ran,
and oemcom-boot boots it under 32-bit UEFI firmware in QEMU.")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qemu-system-x86, ovmf-ia32, uefitool-cli")
set(CPACK_STRIP_FILES ON)

set(DEB_DOC ${CMAKE_BINARY_DIR}/install/doc)
file(WRITE ${DEB_DOC}/copyright "\
oemcom ${PROJECT_VERSION}

Copyright 2026 the oemcom authors.

No licence has been granted for this software; all rights are reserved by its
authors.
")
file(WRITE ${DEB_DOC}/changelog "\
oemcom (${PROJECT_VERSION}) unstable; urgency=medium

  * Release ${PROJECT_VERSION}.

 -- ${CPACK_PACKAGE_CONTACT}  Tue, 01 Dec 2026 00:00:00 +0000
")
add_custom_command(OUTPUT ${DEB_DOC}/changelog.gz
  COMMAND ${GZIP} -9nkf ${DEB_DOC}/changelog
  DEPENDS ${DEB_DOC}/changelog VERBATIM)
add_custom_target(package_docs ALL DEPENDS ${DEB_DOC}/changelog.gz)
install(FILES ${DEB_DOC}/copyright ${DEB_DOC}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

# A sanitized build's commands carry ASan's runtime and stop on its findings: no package.
if(OEMCOM_SANITIZE)
  file(WRITE ${CMAKE_BINARY_DIR}/install/cpack_refuse.cmake "message(FATAL_ERROR \"\
this build folder is configured with OEMCOM_SANITIZE=ON: its commands are not for \
installing; package a build configured without it\")\n")
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/install/cpack_refuse.cmake)
endif()

include(CPack)
