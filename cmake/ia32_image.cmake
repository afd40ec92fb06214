# The IA-32 build: the module sources compiled for i686 and linked by lld-link into a PE32
# boot-service driver, then converted to the TE image and checked.
#
# Outputs (in the build tree):
#   image/oemcom.efi   the PE32 image as linked
#   image/oemcom.te    the TE image the firmware dispatches
#   image/oemcom.map   the link map

find_program(IA32_CLANG NAMES clang++ REQUIRED)
find_program(IA32_LLD_LINK NAMES lld-link REQUIRED)

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
set(IA32_LINK_FLAGS
  /nodefaultlib /entry:OemInitComEntry /subsystem:efi_boot_service_driver /fixed:no
  /merge:.rdata=.text /section:.text,ERP /align:32 /filealign:32 /timestamp:0)

# Custom commands do not create their output folders; Ninja happens to, Make does not.
file(MAKE_DIRECTORY ${IA32_DIR}/obj)
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
