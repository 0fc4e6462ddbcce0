# Linux build: the same system code over the simulated Windows machine.
find_package(nlohmann_json 3 REQUIRED)
find_package(Threads REQUIRED)
find_package(PkgConfig REQUIRED)
# The terminal dialogs draw Chinese texts too: the wide-character curses library.
pkg_check_modules(NCURSESW REQUIRED IMPORTED_TARGET ncursesw)

# The simulated dialogs are made from the same resource script as setup.exe:
# the MinGW resource compiler turns res/setup.rc into a .res file, whose bytes
# are embedded in the simulation, which reads the templates from them.
find_program(SETUP_WINDRES NAMES x86_64-w64-mingw32-windres i686-w64-mingw32-windres REQUIRED)
set(SETUP_RES_DIR ${CMAKE_BINARY_DIR}/res)
file(GLOB SETUP_RES_INPUTS CONFIGURE_DEPENDS res/*.rc res/*.h res/*.ico res/*.manifest)
add_custom_command(
  OUTPUT ${SETUP_RES_DIR}/setup.res
  COMMAND ${CMAKE_COMMAND} -E make_directory ${SETUP_RES_DIR}
  COMMAND ${SETUP_WINDRES} -I ${CMAKE_SOURCE_DIR}/res -O res -i setup.rc -o ${SETUP_RES_DIR}/setup.res
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/res
  DEPENDS ${SETUP_RES_INPUTS}
  COMMENT "Compiling res/setup.rc"
  VERBATIM)
add_custom_command(
  OUTPUT ${SETUP_RES_DIR}/setup_res.cpp
  COMMAND ${CMAKE_COMMAND} -DINPUT=${SETUP_RES_DIR}/setup.res -DOUTPUT=${SETUP_RES_DIR}/setup_res.cpp
          -P ${CMAKE_SOURCE_DIR}/cmake/embed_resource.cmake
  DEPENDS ${SETUP_RES_DIR}/setup.res ${CMAKE_SOURCE_DIR}/cmake/embed_resource.cmake
  COMMENT "Embedding the compiled resources"
  VERBATIM)

# A folder per Windows library the simulation stands in for, beside the
# machine itself and the front ends; loader/ and winsim/ hold programs.
file(GLOB PLATFORM_SIM_SOURCES CONFIGURE_DEPENDS platform/sim/*/*.cpp)
list(FILTER PLATFORM_SIM_SOURCES EXCLUDE REGEX "/platform/sim/(loader|winsim)/")
add_library(platform_sim STATIC ${PLATFORM_SIM_SOURCES} ${SETUP_RES_DIR}/setup_res.cpp)
target_include_directories(platform_sim PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(platform_sim PUBLIC nlohmann_json::nlohmann_json PRIVATE PkgConfig::NCURSESW)
# In the fuzzing build the simulation reports its comparisons to the fuzzer
# only in its profile reader, which the program reads its INF with and one
# harness fuzzes on its own. Elsewhere it compares paths, names and ids, or
# (the setup library's INF parser) each byte with the delimiters the
# dictionary holds, and reporting each of those comparisons cost a sixth of
# the whole-program harness's time; its edges are still counted.
if(SETUP_FUZZ)
  set(PLATFORM_SIM_UNTRACED ${PLATFORM_SIM_SOURCES})
  list(FILTER PLATFORM_SIM_UNTRACED EXCLUDE REGEX "/platform/sim/kernel32/profile\\.cpp$")
  set_source_files_properties(${PLATFORM_SIM_UNTRACED} PROPERTIES COMPILE_OPTIONS -fno-sanitize-coverage=trace-cmp)
endif()
# Nothing calls the default machine's file, newdev.DLL or the choice of the
# dialogs' default front end by name: they register themselves when loaded,
# so every program of the simulation must link them.
target_link_options(platform_sim INTERFACE "LINKER:--undefined=sim_default_machine_anchor"
                    "LINKER:--undefined=sim_frontend_anchor"
                    "LINKER:--undefined=sim_newdev_anchor")

target_link_libraries(setup_core PUBLIC platform_sim)

add_executable(setup platform/sim/loader/main.cpp)
target_link_libraries(setup PRIVATE setup_core platform_sim)

# The companion command that makes and shows simulated machines.
add_executable(winsim platform/sim/winsim/winsim.cpp)
target_link_libraries(winsim PRIVATE platform_sim)

# What the program makes of a driver package: examples/run shows it first.
add_executable(preview examples/preview.cpp)
target_link_libraries(preview PRIVATE setup_core platform_sim)

enable_testing()
if(SETUP_FUZZ)
  # The fuzzing build holds the harnesses and what they link, nothing else.
  add_subdirectory(fuzz)
  return()
endif()
# The programs alone (setup, winsim, preview) need neither GoogleTest nor
# Google Benchmark: the programs preset, which examples/run builds, leaves
# the tests and benchmarks out.
option(SETUP_BUILD_TESTS "Build the tests and benchmarks (GoogleTest, Google Benchmark)" ON)
if(NOT SETUP_BUILD_TESTS)
  return()
endif()
add_subdirectory(tests)
foreach(extra bench fuzz)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${extra}/CMakeLists.txt)
    add_subdirectory(${extra})
  endif()
endforeach()
