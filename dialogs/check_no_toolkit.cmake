# Fails, naming each line, when a file of FOLDER includes a toolkit: a Qt header (<QString>,
# <QtCore/...>), a header of the Qt or Win32 faces, or windows.h (any capitalisation) and its
# parts (<winuser.h>, <commctrl.h>, ...).
file(GLOB_RECURSE sources "${FOLDER}/*.h" "${FOLDER}/*.cpp")
set(toolkit_include
    "^[ \t]*#[ \t]*include[ \t]*[<\"](Q[A-Zt][A-Za-z0-9_]*(/[^>\"]*)?|qt/[^>\"]*|win32/[^>\"]*|[Ww][Ii][Nn][Dd][Oo][Ww][Ss]\\.[Hh]|[Ww][Ii][Nn][A-Za-z0-9_]*\\.[Hh]|[Cc][Oo][Mm][Mm][Cc][Tt][Rr][Ll]\\.[Hh]|[Cc][Oo][Mm][Mm][Dd][Ll][Gg]\\.[Hh])[>\"]")
set(found "")
foreach(source ${sources})
  file(STRINGS "${source}" lines REGEX "${toolkit_include}")
  foreach(line ${lines})
    string(APPEND found "\n  ${source}: ${line}")
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "The shared window layer includes a toolkit:${found}")
endif()
list(LENGTH sources count)
message(STATUS "${count} files of ${FOLDER} include no toolkit")
