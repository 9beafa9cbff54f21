# Draws the Windows icons into DRAWN with TOOL and compares each of FILES with the one kept in
# KEPT: cmake -DTOOL=... -DKEPT=... -DDRAWN=... -DFILES=a;b -P compare_icons.cmake
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE ${DRAWN})
file(MAKE_DIRECTORY ${DRAWN})
execute_process(COMMAND ${TOOL} ${DRAWN} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${TOOL} failed")
endif()
foreach(name ${FILES})
  file(SHA256 ${DRAWN}/${name} drawn)
  file(SHA256 ${KEPT}/${name} kept)
  if(NOT drawn STREQUAL kept)
    message(FATAL_ERROR "${KEPT}/${name} is not what the drawing code draws: "
                        "cmake --build <dir> --target windows_icons, and commit the new files")
  endif()
endforeach()
