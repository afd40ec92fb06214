# Configures the source tree for one board in a build folder of its own and builds what a run
# and a boot of its image need: the image, the boot loader and te-run.
#   cmake -DSOURCE=SOURCE_TREE -DBUILD=FOLDER -DBOARD=FILE -DGENERATOR=GENERATOR -DCXX=COMPILER
#         -P build_board.cmake
foreach(Step configure build)
  if(Step STREQUAL "configure")
    set(Command ${CMAKE_COMMAND} -S ${SOURCE} -B ${BUILD} -G ${GENERATOR}
                -DCMAKE_CXX_COMPILER=${CXX} -DOEMCOM_BOARD=${BOARD})
  else()
    set(Command ${CMAKE_COMMAND} --build ${BUILD} --target image boot_loader te-run)
  endif()
  execute_process(COMMAND ${Command} RESULT_VARIABLE Status OUTPUT_VARIABLE Output
                  ERROR_VARIABLE Output)
  if(NOT Status EQUAL 0)
    message(FATAL_ERROR "${Step} of ${BUILD} for ${BOARD} failed:\n${Output}")
  endif()
endforeach()
message(STATUS "${BUILD}: image, boot loader and te-run built for ${BOARD}")
