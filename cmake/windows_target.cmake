# What only the Windows build of the core needs: Boost's headers through a folder
# that holds nothing but a link to them (all of /usr/include would bring glibc's
# headers before mingw's), the Windows version that the program asks for
# (Windows 7: Asio's I/O completion ports and everything platform/win32 calls),
# and the system libraries behind platform/win32 and Asio's sockets.
set(VORSEL_BOOST_INCLUDE ${CMAKE_BINARY_DIR}/boost-only)
if(NOT EXISTS ${VORSEL_BOOST_INCLUDE}/boost)
  file(MAKE_DIRECTORY ${VORSEL_BOOST_INCLUDE})
  file(CREATE_LINK /usr/include/boost ${VORSEL_BOOST_INCLUDE}/boost SYMBOLIC)
endif()
target_include_directories(vorsel_core SYSTEM PUBLIC ${VORSEL_BOOST_INCLUDE})
target_compile_definitions(vorsel_core PUBLIC
  _WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE)
target_link_libraries(vorsel_core PUBLIC ws2_32 mswsock oleaut32 ole32 shell32 advapi32)
