# Refuses an image with writable data: any byte of .data or .bss in the link map removes the
# image and fails the link step. Invoked as: cmake -DMAP=... -DIMAGE=... -P check_read_only.cmake
# Map lines "0001:<start> <length>H <section> <class>".
file(STRINGS ${MAP} Contributions REGEX "^ [0-9a-f]+:[0-9a-f]+ +[0-9a-f]+H +\\.(data|bss)")
foreach(Contribution IN LISTS Contributions)
  if(NOT Contribution MATCHES " 0+H ")
    file(REMOVE ${IMAGE})
    message(FATAL_ERROR "writable data in the image, refused (${MAP}):\n${Contribution}")
  endif()
endforeach()
