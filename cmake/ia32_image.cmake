# The IA-32 build: freestanding C++ compiled for i686 and linked by lld-link with no library
# into PE32 images. Two images share it:
#   image/oemcom.efi      the module, a boot-service driver, converted to
#   image/oemcom.te       the TE image the firmware dispatches (checked after conversion)
#   image/oemcom.debug.efi  the module's debug twin: the same objects linked with their DWARF
#                         debug information, for gdb and llvm-symbolizer
#   image/bootia32.efi    the boot loader, a UEFI application that loads and starts oemcom.te
#                         (defined in tools/qemu)
# Each image also gets a link map, image/<name>.map.

find_program(IA32_CLANG NAMES clang++ REQUIRED)
find_program(IA32_LLD_LINK NAMES lld-link REQUIRED)

set(IA32_DIR ${CMAKE_BINARY_DIR}/image)
set(OEMCOM_PE ${IA32_DIR}/oemcom.efi)
set(OEMCOM_TE ${IA32_DIR}/oemcom.te)
set(OEMCOM_DEBUG_PE ${IA32_DIR}/oemcom.debug.efi)

# Size first: whole-module optimisation at link time, and a compare chain instead of jump
# tables (a table costs its own bytes plus one base relocation per entry).
set(IA32_OPT -Oz -flto -fno-jump-tables CACHE STRING "Optimisation flags of the IA-32 image")
# No library calls of any kind: the link below has no library to resolve them from.
# -gdwarf-4 on every object: the debug twin's code must equal the shipped code, and at -Oz
# objects compiled with and without -g differ (with -g DebugPrint adjusts ESP by 'add' where it
# would pop two dead registers). Under -flto the objects are bitcode carrying the debug
# metadata; both links run the same link-time code generation on them, and only the twin's link
# keeps the .debug_* sections it emits.
set(IA32_CXX_FLAGS
  --target=i686-unknown-windows-msvc -std=c++17 ${IA32_OPT}
  -ffreestanding -fno-builtin -nostdlibinc -isystem ${CMAKE_SOURCE_DIR}/include/freestanding
  -fno-exceptions -fno-rtti -fno-stack-protector -mno-sse -mno-mmx
  -gdwarf-4 -Wall -Wextra -Werror -I${CMAKE_SOURCE_DIR}/include -I${CMAKE_BINARY_DIR}/board)
# Every image: no library, relocatable, no time stamp (the same sources give the same bytes).
set(IA32_BASE_LINK_FLAGS /nodefaultlib /fixed:no /timestamp:0)

# ia32_link_flags(<variable> ENTRY <symbol> SUBSYSTEM <subsystem> [<flag>...]): the whole
# lld-link command line of an image, but for its objects, map and output.
function(ia32_link_flags Variable)
  cmake_parse_arguments(PARSE_ARGV 1 LINK "" "ENTRY;SUBSYSTEM" "")
  set(${Variable} ${IA32_BASE_LINK_FLAGS} /entry:${LINK_ENTRY} /subsystem:${LINK_SUBSYSTEM}
    ${LINK_UNPARSED_ARGUMENTS} PARENT_SCOPE)
endfunction()

# ia32_objects(<variable> <source>...): the objects of the sources (paths relative to the
# source tree), each compiled once however many images link it.
function(ia32_objects Variable)
  set(Objects)
  foreach(Source ${ARGN})
    string(REGEX REPLACE "\\.cpp$" ".obj" Object ${IA32_DIR}/obj/${Source})
    get_property(Known GLOBAL PROPERTY IA32_OBJECT_${Source} SET)
    if(NOT Known)
      set_property(GLOBAL PROPERTY IA32_OBJECT_${Source} ${Object})
      get_filename_component(ObjectDir ${Object} DIRECTORY)
      add_custom_command(OUTPUT ${Object}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${ObjectDir}
        COMMAND ${IA32_CLANG} ${IA32_CXX_FLAGS} -MD -MF ${Object}.d
                -c ${CMAKE_SOURCE_DIR}/${Source} -o ${Object}
        DEPENDS ${CMAKE_SOURCE_DIR}/${Source}
        DEPFILE ${Object}.d
        COMMENT "IA-32 ${Source}"
        VERBATIM)
    endif()
    list(APPEND Objects ${Object})
  endforeach()
  set(${Variable} ${Objects} PARENT_SCOPE)
endfunction()

# ia32_image(<name> LINK_FLAGS <flag>... OBJECTS <object>... [READ_ONLY] [DEBUG_TWIN]): links
# image/<name>.efi and image/<name>.map with the flags of ia32_link_flags. READ_ONLY: the link
# fails, and leaves no image, when the map shows writable data. DEBUG_TWIN: the same objects in
# the same order are linked a second time into image/<name>.debug.efi (and .debug.map) with
# their DWARF sections. lld-link's /debug turns /opt:ref and /opt:icf off by default, which
# changes the code; the twin turns them back on, so that its .text equals the shipped one but
# for the relocated fields, 0x100 bytes later (the debug sections' headers), followed by the
# debug directory lld-link adds (its build id).
function(ia32_image Name)
  cmake_parse_arguments(PARSE_ARGV 1 IMAGE "READ_ONLY;DEBUG_TWIN" "" "OBJECTS;LINK_FLAGS")
  set(ReadOnlyCheck)
  if(IMAGE_READ_ONLY)
    set(ReadOnlyCheck COMMAND ${CMAKE_COMMAND} -DMAP=${IA32_DIR}/${Name}.map
      -DIMAGE=${IA32_DIR}/${Name}.efi -P ${CMAKE_SOURCE_DIR}/cmake/check_read_only.cmake)
  endif()
  add_custom_command(OUTPUT ${IA32_DIR}/${Name}.efi
    BYPRODUCTS ${IA32_DIR}/${Name}.map
    COMMAND ${IA32_LLD_LINK} ${IMAGE_LINK_FLAGS} /map:${IA32_DIR}/${Name}.map
            /out:${IA32_DIR}/${Name}.efi ${IMAGE_OBJECTS}
    ${ReadOnlyCheck}
    DEPENDS ${IMAGE_OBJECTS}
    COMMENT "lld-link ${Name}.efi"
    VERBATIM)
  if(IMAGE_DEBUG_TWIN)
    add_custom_command(OUTPUT ${IA32_DIR}/${Name}.debug.efi
      BYPRODUCTS ${IA32_DIR}/${Name}.debug.map
      COMMAND ${IA32_LLD_LINK} ${IMAGE_LINK_FLAGS} /debug:dwarf /opt:ref /opt:icf
              /map:${IA32_DIR}/${Name}.debug.map /out:${IA32_DIR}/${Name}.debug.efi
              ${IMAGE_OBJECTS}
      DEPENDS ${IMAGE_OBJECTS}
      COMMENT "lld-link ${Name}.debug.efi"
      VERBATIM)
  endif()
endfunction()

# The module. .rdata goes into .text and sections and file share a 32-byte alignment: the TE
# format needs the equal alignments, and one section keeps the image small. lld-link sizes the
# headers for the empty .data section every object brings as well; merged into .text it takes
# no header, so .text follows the section table without 64 bytes of zeros between them in the
# TE image. The module has no writable data: READ_ONLY refuses any byte in .data or .bss. The
# map tells code from constant data inside the merged .text (tools/report.sh reads it).
ia32_link_flags(IA32_LINK_FLAGS ENTRY OemInitComEntry SUBSYSTEM efi_boot_service_driver
  /merge:.rdata=.text /merge:.data=.text /section:.text,ERP /align:32 /filealign:32)
ia32_objects(IA32_OBJECTS ${MODULE_SOURCES} entry/port_io_ia32.cpp)
ia32_image(oemcom READ_ONLY DEBUG_TWIN OBJECTS ${IA32_OBJECTS} LINK_FLAGS ${IA32_LINK_FLAGS})

# te-tool is defined in tools/te; target names in custom commands resolve at generation.
add_custom_command(OUTPUT ${OEMCOM_TE}
  COMMAND te-tool convert ${OEMCOM_PE} ${OEMCOM_TE}
  COMMAND te-tool check ${OEMCOM_TE}
  DEPENDS ${OEMCOM_PE} te-tool
  COMMENT "TE image oemcom.te"
  VERBATIM)
add_custom_target(image ALL DEPENDS ${OEMCOM_TE} ${OEMCOM_DEBUG_PE})

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
