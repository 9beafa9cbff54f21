# The Windows downloads, made by CPack in the build folder (`cpack -G NSIS`, `cpack -G ZIP`):
# an installer (NSIS: the programs under Program Files, a Start-menu entry, an uninstaller in
# "Apps and features") and a zip to unpack anywhere. Both hold korva-updater.exe (the window
# program, when built) and korva-updater-cli.exe, static executables that need no DLL beside
# them, the README and the licence. The Bluetooth update library, korva-dfu.dll, is not ours to
# ship: the programs look for it beside themselves.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)

set(CPACK_GENERATOR "NSIS;ZIP")
set(CPACK_PACKAGE_NAME korva-updater)
set(CPACK_PACKAGE_VENDOR "Brenwick")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Brings the firmware of a KORVA amplifier up to date over USB")
set(CPACK_PACKAGE_FILE_NAME "korva-updater-${PROJECT_VERSION}-windows-x86_64")
set(CPACK_STRIP_FILES ON)
# What differs between the two (windows_package_generators.cmake, read by CPack for each
# generator): the zip holds one folder named as it is, the installer is "...-setup.exe".
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/windows_package_generators.cmake)

# The installer. 64-bit programs go under the 64-bit Program Files; a new installation
# removes an older one first, so that one uninstaller stays.
set(CPACK_PACKAGE_INSTALL_DIRECTORY "KORVA Updater")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "KORVA Updater")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# A 64-bit installer for 64-bit programs: it writes Windows' own (64-bit) registry view, and
# runs where the programs run (also under a Wine without 32-bit support, as in ./test).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_PACKAGE_NAME "KORVA Updater ${PROJECT_VERSION}")
set(CPACK_NSIS_DISPLAY_NAME "KORVA Updater")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/resources/windows/korva-updater.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/resources/windows/korva-updater.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME korva-updater.exe)
if(KORVA_BUILD_UI)
  # Start menu: "KORVA Updater" (the window program), beside the uninstaller's entry that the
  # installer adds to the same folder.
  set(CPACK_PACKAGE_EXECUTABLES korva-updater "KORVA Updater")
  set(CPACK_NSIS_MUI_FINISHPAGE_RUN korva-updater.exe)
else()
  set(CPACK_NSIS_INSTALLED_ICON_NAME korva-updater-cli.exe)
endif()
include(CPack)
