# The package for Windows users (cpack -G ZIP): vorsel.exe with its viewer page in
# HTML\ beside it, where the program looks for it, and a README. 7z.dll is not in
# it: the program uses the user's installed 7-Zip.
install(TARGETS vorsel RUNTIME DESTINATION .)
install(DIRECTORY HTML/ DESTINATION HTML)
install(FILES doc/README-windows.txt DESTINATION . RENAME README.txt)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(windows_width win64)
else()
  set(windows_width win32)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME vorsel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME vorsel-${PROJECT_VERSION}-${windows_width})
set(CPACK_STRIP_FILES ON)
include(CPack)
