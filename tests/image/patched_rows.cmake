# Runs the format rows on a copy of the module's image with one byte changed, and fails unless
# some row fails on that image by name. Called as a test:
#   cmake -DPATCHER=image-patch -DPATCH=name -DIMAGE=oemcom.te|oemcom.efi -DTE_TOOL=te-tool
#         -DROWS=module_tests -DFILTER=gtest-filter -DWORK=folder -P patched_rows.cmake
# A patched PE32 is converted to TE first, as the build converts the real one.
file(MAKE_DIRECTORY ${WORK})
get_filename_component(Extension ${IMAGE} LAST_EXT)
set(Patched ${WORK}/${PATCH}${Extension})
execute_process(COMMAND ${PATCHER} ${PATCH} ${IMAGE} ${Patched}
  RESULT_VARIABLE Status OUTPUT_VARIABLE Said ERROR_VARIABLE Said)
if(NOT Status EQUAL 0)
  message(FATAL_ERROR "image-patch ${PATCH} ${IMAGE}: ${Said}")
endif()
message(STATUS "${Said}")

set(Te ${Patched})
if(Extension STREQUAL ".efi")
  set(Te ${WORK}/${PATCH}-converted.te)
  execute_process(COMMAND ${TE_TOOL} convert ${Patched} ${Te}
    RESULT_VARIABLE Status OUTPUT_VARIABLE Said ERROR_VARIABLE Said)
  if(NOT Status EQUAL 0)
    message(FATAL_ERROR "te-tool convert ${Patched}: ${Said}")
  endif()
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E env OEMCOM_IMAGE=${Te} ${ROWS} --gtest_brief=1
                        --gtest_filter=${FILTER}
  RESULT_VARIABLE Status OUTPUT_VARIABLE Output ERROR_VARIABLE Output)
if(Status EQUAL 0)
  message(FATAL_ERROR "every format row passes on ${Te}, changed by patch ${PATCH}")
endif()
# The rows name the image they fail on: "image PATH: "expected" from ROW at capacity N".
string(FIND "${Output}" "image ${Te}: " At)
if(At EQUAL -1)
  message(FATAL_ERROR "the format rows fail, but none names ${Te}:\n${Output}")
endif()
string(SUBSTRING "${Output}" ${At} -1 First)
string(FIND "${First}" "\n" LineEnd)
string(SUBSTRING "${First}" 0 ${LineEnd} First)
string(REGEX MATCHALL "\n[^\n]*: image [^\n]*" Failures "${Output}")
list(LENGTH Failures Count)
message(STATUS "${Count} failing checks on the patched image, the first: ${First}")
