# Where GoogleTest's sources are for a cross build (Debian's package googletest), and whether
# they are there.
set(KORVA_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for a cross build")
if(EXISTS ${KORVA_GTEST_SOURCE_DIR}/CMakeLists.txt)
  set(KORVA_GTEST_SOURCES_FOUND TRUE)
else()
  set(KORVA_GTEST_SOURCES_FOUND FALSE)
endif()
