# Windows builds: one static executable per program that needs no DLL beside it (libstdc++,
# libgcc and winpthread are linked in; only system DLLs are imported). Cross-built on Linux,
# the build's own programs (the carried-image generator, the tests) run under Wine, in a
# prefix of the build folder's own with Wine's diagnostics silenced.
add_link_options(-static)
# <windows.h> without its min/max macros (they break std::min) and without rarely used parts.
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN)

if(CMAKE_CROSSCOMPILING)
  find_program(KORVA_WINE NAMES wine64 wine HINTS /usr/lib/wine /usr/lib64/wine)
  find_program(KORVA_WINESERVER NAMES wineserver64 wineserver HINTS /usr/lib/wine /usr/lib64/wine)
  if(NOT KORVA_WINE OR NOT KORVA_WINESERVER)
    message(FATAL_ERROR "A cross build runs its code generator and tests under Wine: install wine64")
  endif()
  set(KORVA_WINE_PREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  # Mono and Gecko are not needed; without the override Wine offers to install them. Wine
  # keeps Windows' file names in the Unix locale's character set: a UTF-8 one, whatever the
  # caller's (a CI runner's or a fresh root's may be POSIX), so that names beyond ASCII can be
  # made.
  set(korva_wine_env WINEPREFIX=${KORVA_WINE_PREFIX} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
                     WINE=${KORVA_WINE} WINESERVER=${KORVA_WINESERVER} LC_ALL=C.UTF-8)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_COMMAND} -E env ${korva_wine_env} sh ${PROJECT_SOURCE_DIR}/cmake/wine_run.sh)

  # The prefix is made once, before the first program runs in it; Wine's chatter while it sets
  # up goes to a log that is shown only when that fails.
  set(korva_prefix_stamp ${CMAKE_BINARY_DIR}/wineprefix.stamp)
  add_custom_command(
    OUTPUT ${korva_prefix_stamp}
    COMMAND ${CMAKE_COMMAND} -E env ${korva_wine_env}
            sh ${PROJECT_SOURCE_DIR}/cmake/make_wine_prefix.sh ${korva_prefix_stamp}
    DEPENDS ${PROJECT_SOURCE_DIR}/cmake/make_wine_prefix.sh
    COMMENT "Setting up the Wine prefix"
    VERBATIM)
  add_custom_target(wine_prefix DEPENDS ${korva_prefix_stamp})
endif()
