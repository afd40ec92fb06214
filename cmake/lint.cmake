# Static checks as tests: clang-format, clang-tidy (.clang-tidy) and cppcheck over the
# module and the tools; and, as part of the build, the tools' headers compiled together.
find_program(CLANG_FORMAT NAMES clang-format)
find_program(CLANG_TIDY NAMES clang-tidy)
find_program(CPPCHECK NAMES cppcheck)

file(GLOB_RECURSE LINT_MODULE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/entry/*.cpp ${CMAKE_SOURCE_DIR}/serial/*.cpp
  ${CMAKE_SOURCE_DIR}/format/*.cpp)
file(GLOB_RECURSE LINT_TOOL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/*.cpp)
file(GLOB_RECURSE LINT_ALL_FILES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/entry/*.cpp ${CMAKE_SOURCE_DIR}/serial/*.cpp
  ${CMAKE_SOURCE_DIR}/format/*.cpp ${CMAKE_SOURCE_DIR}/include/*.h
  ${CMAKE_SOURCE_DIR}/tools/*.cpp ${CMAKE_SOURCE_DIR}/tools/*.h
  ${CMAKE_SOURCE_DIR}/tests/*.cpp ${CMAKE_SOURCE_DIR}/tests/*.h)
# The IA-32 port file is compiled only for i686; the host compile database has no entry for it.
list(FILTER LINT_MODULE_SOURCES EXCLUDE REGEX "port_io_ia32\\.cpp$")

if(CLANG_FORMAT)
  add_test(NAME lint.clang_format
    COMMAND ${CLANG_FORMAT} --dry-run -Werror --style=file ${LINT_ALL_FILES})
endif()
# clang-tidy one file a test, so that the files spread over the cores beside the other tests;
# a file whose inputs are unchanged since it last passed is not checked again
# (cmake/tidy_cached.sh; OEMCOM_TIDY_CACHE, default the build folder's tidy-cache/).
set(OEMCOM_TIDY_CACHE ${CMAKE_BINARY_DIR}/tidy-cache CACHE PATH
    "Where clang-tidy's passes are kept by their inputs' hash")
if(CLANG_TIDY)
  foreach(File ${LINT_MODULE_SOURCES} ${LINT_TOOL_SOURCES})
    file(RELATIVE_PATH Name ${CMAKE_SOURCE_DIR} ${File})
    add_test(NAME lint.clang_tidy.${Name}
      COMMAND ${CMAKE_SOURCE_DIR}/cmake/tidy_cached.sh ${CLANG_TIDY} ${CMAKE_BINARY_DIR}
              ${OEMCOM_TIDY_CACHE} ${File})
    set_tests_properties(lint.clang_tidy.${Name} PROPERTIES TIMEOUT 300 LABELS lint)
  endforeach()
endif()
# normalCheckLevelMaxBranches is cppcheck 2.11+'s note that it limits its branch analysis: an
# informational note, not a finding, that --error-exitcode would otherwise count.
if(CPPCHECK)
  add_test(NAME lint.cppcheck
    COMMAND ${CPPCHECK} --enable=warning,style,performance,portability --error-exitcode=1
            --inline-suppr --std=c++20 --quiet --suppress=missingIncludeSystem
            --suppress=normalCheckLevelMaxBranches
            -I ${CMAKE_SOURCE_DIR}/include -I ${CMAKE_BINARY_DIR}/board
            -I ${CMAKE_SOURCE_DIR}/tools/platform
            -I ${CMAKE_SOURCE_DIR}/tools/common -I ${CMAKE_BINARY_DIR}/generated
            -I ${CMAKE_SOURCE_DIR}/tools/te
            -I ${CMAKE_SOURCE_DIR}/tools/runner -I ${CMAKE_SOURCE_DIR}/tools/fv
            ${LINT_MODULE_SOURCES} ${LINT_TOOL_SOURCES})
endif()

# Every header under tools/ in one translation unit, built with everything else: the image
# tools' headers must not clash.
if(TARGET image_runner AND TARGET te_tools AND TARGET fv_tools)
  file(GLOB_RECURSE TOOL_HEADERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/*.h)
  list(TRANSFORM TOOL_HEADERS REPLACE "(.+)" "#include \"\\1\"\n")
  string(JOIN "" TOOL_HEADER_TEXT ${TOOL_HEADERS})
  file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/tool_headers.cpp CONTENT "${TOOL_HEADER_TEXT}")
  add_library(tool_headers OBJECT ${CMAKE_BINARY_DIR}/tool_headers.cpp)
  target_link_libraries(tool_headers PRIVATE image_runner te_tools fv_tools tool_version)
endif()
