# Checks that a Windows executable imports system DLLs only, so that it runs on its own with
# no DLL beside it: cmake -DOBJDUMP=... -DEXECUTABLE=... -P check_imports.cmake
cmake_minimum_required(VERSION 3.25)
# Windows' own DLLs, those of its windows (common controls and dialogs, MSAA) among them.
set(system_dlls kernel32.dll msvcrt.dll setupapi.dll hid.dll user32.dll advapi32.dll gdi32.dll
                comctl32.dll comdlg32.dll shell32.dll ole32.dll oleaut32.dll oleacc.dll)

execute_process(COMMAND ${OBJDUMP} -p ${EXECUTABLE} RESULT_VARIABLE result OUTPUT_VARIABLE headers)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} cannot read ${EXECUTABLE}")
endif()
string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${headers}")
if(NOT imports)
  message(FATAL_ERROR "no imported DLL found in ${EXECUTABLE}: not a Windows executable?")
endif()
set(foreign)
foreach(line ${imports})
  string(REPLACE "DLL Name: " "" dll "${line}")
  string(TOLOWER "${dll}" dll)
  message("imports ${dll}")
  if(NOT dll IN_LIST system_dlls)
    list(APPEND foreign ${dll})
  endif()
endforeach()
if(foreign)
  message(FATAL_ERROR "needs DLLs that Windows does not have: ${foreign}")
endif()
