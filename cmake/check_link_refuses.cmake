# Compiles tests/link/helper_probe.cpp with -DPROBE_<PROBE> using the image's compile options,
# links it with the module's objects and the image's link options, keeping Probe as a root so
# that whole-program optimisation cannot drop it, and checks the outcome:
# EXPECT is the support routine whose absence must fail the link, or "none" for success.
# Invoked by CTest: cmake -DPROBE=... -DEXPECT=... -DCLANG=... -DLLD_LINK=... -DSOURCE=...
#   -DWORK=... "-DCXX_FLAGS=..." "-DLINK_FLAGS=..." "-DOBJECTS=..." -P check_link_refuses.cmake
file(MAKE_DIRECTORY ${WORK})
set(Object ${WORK}/probe_${PROBE}.obj)
execute_process(COMMAND ${CLANG} ${CXX_FLAGS} -DPROBE_${PROBE} -c ${SOURCE} -o ${Object}
  RESULT_VARIABLE CompileResult ERROR_VARIABLE CompileOutput)
if(NOT CompileResult EQUAL 0)
  message(FATAL_ERROR "probe ${PROBE} did not compile:\n${CompileOutput}")
endif()
execute_process(COMMAND ${LLD_LINK} ${LINK_FLAGS} /include:_Probe /out:${WORK}/probe_${PROBE}.efi ${OBJECTS}
                        ${Object}
  RESULT_VARIABLE LinkResult OUTPUT_VARIABLE LinkOutput ERROR_VARIABLE LinkOutput)
if(EXPECT STREQUAL "none")
  if(NOT LinkResult EQUAL 0)
    message(FATAL_ERROR "control probe failed to link:\n${LinkOutput}")
  endif()
elseif(LinkResult EQUAL 0)
  message(FATAL_ERROR "probe ${PROBE} linked, but it calls ${EXPECT}")
elseif(NOT LinkOutput MATCHES "undefined symbol: ${EXPECT}")
  message(FATAL_ERROR "probe ${PROBE} failed to link for another reason:\n${LinkOutput}")
endif()
message(STATUS "probe ${PROBE}: ${EXPECT} -> link ${LinkResult}")
