# The IA-32 build: the module sources compiled for i686 and linked by lld-link into a PE32
# boot-service driver, then converted to the TE image and checked.
#
# Outputs (in the build tree):
#   image/oemcom.efi   the PE32 image as linked
#   image/oemcom.te    the TE image the firmware dispatches
#   image/oemcom.map   the link map
#
# Run as a script (cmake -DMAP=... -DIMAGE=... -P ia32_image.cmake) it is the link step's
# check that the image holds no writable data (see IA32_LINK_FLAGS).

if(CMAKE_SCRIPT_MODE_FILE)
  # Map lines "0001:<start> <length>H <section> <class>": any byte of .data or .bss fails.
  file(STRINGS ${MAP} Contributions REGEX "^ [0-9a-f]+:[0-9a-f]+ +[0-9a-f]+H +\\.(data|bss)")
  foreach(Contribution IN LISTS Contributions)
    if(NOT Contribution MATCHES " 0+H ")
      file(REMOVE ${IMAGE})
      message(FATAL_ERROR "writable data in the image, refused (${MAP}):\n${Contribution}")
    endif()
  endforeach()
  return()
endif()

find_program(IA32_CLANG NAMES clang++-14 clang++ REQUIRED)
find_program(IA32_LLD_LINK NAMES lld-link-14 lld-link REQUIRED)

set(IA32_DIR ${CMAKE_BINARY_DIR}/image)
set(OEMCOM_PE ${IA32_DIR}/oemcom.efi)
set(OEMCOM_TE ${IA32_DIR}/oemcom.te)

# Size first: whole-module optimisation at link time, and a compare chain instead of jump
# tables (a table costs its own bytes plus one base relocation per entry).
set(IA32_OPT -Oz -flto -fno-jump-tables CACHE STRING "Optimisation flags of the IA-32 image")
# No library calls of any kind: the link below has no library to resolve them from.
set(IA32_CXX_FLAGS
  --target=i686-unknown-windows-msvc -std=c++17 ${IA32_OPT}
  -ffreestanding -fno-builtin -nostdlibinc -isystem ${CMAKE_SOURCE_DIR}/include/freestanding
  -fno-exceptions -fno-rtti -fno-stack-protector -mno-sse -mno-mmx
  -Wall -Wextra -Werror -I${CMAKE_SOURCE_DIR}/include)
# lld-link sizes the headers for the empty .data section every object brings as well; merged
# into .text it takes no header, so .text follows the section table without 64 bytes of
# zeros between them in the TE image. The module has no writable data: the link step refuses
# an image whose map shows any byte in .data or .bss.
set(IA32_LINK_FLAGS
  /nodefaultlib /entry:OemInitComEntry /subsystem:efi_boot_service_driver /fixed:no
  /merge:.rdata=.text /merge:.data=.text /section:.text,ERP /align:32 /filealign:32
  /timestamp:0)

set(IA32_OBJECTS)
foreach(Source ${MODULE_SOURCES} entry/port_io_ia32.cpp)
  get_filename_component(Name ${Source} NAME_WE)
  set(Object ${IA32_DIR}/obj/${Name}.obj)
  add_custom_command(OUTPUT ${Object}
    COMMAND ${IA32_CLANG} ${IA32_CXX_FLAGS} -MD -MF ${Object}.d
            -c ${CMAKE_SOURCE_DIR}/${Source} -o ${Object}
    DEPENDS ${CMAKE_SOURCE_DIR}/${Source}
    DEPFILE ${Object}.d
    COMMENT "IA-32 ${Source}"
    VERBATIM)
  list(APPEND IA32_OBJECTS ${Object})
endforeach()

# The map tells code from constant data inside the merged .text (tools/report.sh reads it).
add_custom_command(OUTPUT ${OEMCOM_PE}
  BYPRODUCTS ${IA32_DIR}/oemcom.map
  COMMAND ${IA32_LLD_LINK} ${IA32_LINK_FLAGS} /map:${IA32_DIR}/oemcom.map /out:${OEMCOM_PE}
          ${IA32_OBJECTS}
  COMMAND ${CMAKE_COMMAND} -DMAP=${IA32_DIR}/oemcom.map -DIMAGE=${OEMCOM_PE}
          -P ${CMAKE_CURRENT_LIST_FILE}
  DEPENDS ${IA32_OBJECTS}
  COMMENT "lld-link oemcom.efi"
  VERBATIM)

# te-tool is defined in tools/te; target names in custom commands resolve at generation.
add_custom_command(OUTPUT ${OEMCOM_TE}
  COMMAND te-tool convert ${OEMCOM_PE} ${OEMCOM_TE}
  COMMAND te-tool check ${OEMCOM_TE}
  DEPENDS ${OEMCOM_PE} te-tool
  COMMENT "TE image oemcom.te"
  VERBATIM)
add_custom_target(image ALL DEPENDS ${OEMCOM_TE})

# The link refuses every support routine the compiler may call.
foreach(Case NONE:none MEMSET:_memset MEMCPY:_memcpy DIVISION64:__aulldiv STACK:__chkstk)
  string(REPLACE ":" ";" Pair ${Case})
  list(GET Pair 0 Probe)
  list(GET Pair 1 Expect)
  add_test(NAME image.link_refuses.${Probe}
    COMMAND ${CMAKE_COMMAND} -DPROBE=${Probe} -DEXPECT=${Expect} -DCLANG=${IA32_CLANG}
      -DLLD_LINK=${IA32_LLD_LINK} -DSOURCE=${CMAKE_SOURCE_DIR}/tests/link/helper_probe.cpp
      -DWORK=${IA32_DIR}/link-probes "-DCXX_FLAGS=${IA32_CXX_FLAGS}"
      "-DLINK_FLAGS=${IA32_LINK_FLAGS}" "-DOBJECTS=${IA32_OBJECTS}"
      -P ${CMAKE_SOURCE_DIR}/cmake/check_link_refuses.cmake)
endforeach()
