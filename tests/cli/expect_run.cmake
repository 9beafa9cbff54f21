# Runs a program and checks how it ended: cmake -DEXPECT_EXIT=N [-DEXPECT_OUTPUT=REGEX]
#   -P expect_run.cmake -- PROGRAM [ARGUMENTS...]
# REGEX is matched against the standard output and error together. Prints what the program
# wrote, and how long it took.
cmake_minimum_required(VERSION 3.25)
set(command)
set(seen_separator FALSE)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(seen_separator)
    list(APPEND command "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL "--")
    set(seen_separator TRUE)
  endif()
endforeach()
if(NOT command)
  message(FATAL_ERROR "no program given after --")
endif()

string(TIMESTAMP started "%s")
execute_process(COMMAND ${command} RESULT_VARIABLE exit_code OUTPUT_VARIABLE out ERROR_VARIABLE err)
string(TIMESTAMP ended "%s")
math(EXPR seconds "${ended} - ${started}")
message("${out}${err}")
message("Exit code ${exit_code} after ${seconds} s")

if(NOT exit_code STREQUAL "${EXPECT_EXIT}")
  message(FATAL_ERROR "expected exit code ${EXPECT_EXIT}")
endif()
if(DEFINED EXPECT_OUTPUT AND NOT "${out}${err}" MATCHES "${EXPECT_OUTPUT}")
  message(FATAL_ERROR "expected the output to match: ${EXPECT_OUTPUT}")
endif()
