# The Windows download: a zip with korva-updater-cli.exe (static, nothing else needed), the
# README and the licence. Made with `cpack` in the build folder (or `cmake --build <dir> --target
# package`).
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME korva-updater-cli)
set(CPACK_PACKAGE_VENDOR "KORVA")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Brings the firmware of a KORVA amplifier up to date over USB")
set(CPACK_PACKAGE_FILE_NAME "korva-updater-cli-${PROJECT_VERSION}-windows-x86_64")
# One folder in the zip, named as the zip is.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
