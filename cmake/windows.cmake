# Windows build: the real Win32 API, a statically linked setup.exe.
enable_language(RC)
target_compile_definitions(setup_core PUBLIC _WIN32_WINNT=0x0601 WINVER=0x0601)

add_executable(setup WIN32 platform/win/winmain.cpp)
if(EXISTS ${CMAKE_SOURCE_DIR}/res/setup.rc)
  target_sources(setup PRIVATE res/setup.rc)
endif()
target_link_libraries(setup PRIVATE setup_core setupapi cfgmgr32 user32 kernel32)
# No MinGW runtime DLLs: the program must run from its directory alone.
target_link_options(setup PRIVATE -static -static-libgcc -static-libstdc++ -mwindows)
# Built as shipped, so that the tests run the file vendors get: stripped, with
# NX and address-space randomisation (the linker's defaults, named so that an
# older linker keeps them too), and terminal-server aware, so that on a Remote
# Desktop server Windows gives it the real Windows directory, not a per-user one.
target_link_options(setup PRIVATE -s LINKER:--nxcompat,--dynamicbase,--tsaware)

# The release archive, setup-<version>-win64.zip or -win32.zip: setup.exe as
# built, and the notes for vendors with Windows line ends.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SETUP_ARCH win64)
else()
  set(SETUP_ARCH win32)
endif()
set(SETUP_VERSION ${PROJECT_VERSION})
configure_file(release/VENDOR.txt ${CMAKE_BINARY_DIR}/VENDOR.txt @ONLY NEWLINE_STYLE CRLF)
install(TARGETS setup RUNTIME DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/VENDOR.txt DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME setup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME setup-${PROJECT_VERSION}-${SETUP_ARCH})
include(CPack)

enable_testing()
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/wine/tools/CMakeLists.txt)
  add_subdirectory(tests/wine/tools)
endif()
# The Windows half of the benchmarks (run under Wine by bench/run).
if(EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()
