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

enable_testing()
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/wine/tools/CMakeLists.txt)
  add_subdirectory(tests/wine/tools)
endif()
# The Windows half of the benchmarks (run under Wine by bench/run).
if(EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()
