# Linux build: the same system code over the simulated Windows machine.
find_package(nlohmann_json 3 REQUIRED)
find_package(Threads REQUIRED)

file(GLOB PLATFORM_SIM_SOURCES CONFIGURE_DEPENDS platform/sim/*.cpp)
list(FILTER PLATFORM_SIM_SOURCES EXCLUDE REGEX "/main\\.cpp$")
add_library(platform_sim STATIC ${PLATFORM_SIM_SOURCES})
target_include_directories(platform_sim PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(platform_sim PUBLIC nlohmann_json::nlohmann_json)
# Nothing calls the default machine's file: it registers itself when loaded, so
# every program of the simulation must link it.
target_link_options(platform_sim INTERFACE "LINKER:--undefined=sim_default_machine_anchor")

target_link_libraries(setup_core PUBLIC platform_sim)

add_executable(setup platform/sim/main.cpp)
target_link_libraries(setup PRIVATE setup_core platform_sim)

# The companion command that makes and shows simulated machines.
add_executable(winsim platform/sim/winsim/winsim.cpp)
target_link_libraries(winsim PRIVATE platform_sim)

enable_testing()
if(SETUP_FUZZ)
  # The fuzzing build holds the harnesses and what they link, nothing else.
  add_subdirectory(fuzz)
  return()
endif()
add_subdirectory(tests)
foreach(extra bench fuzz)
  if(EXISTS ${CMAKE_SOURCE_DIR}/${extra}/CMakeLists.txt)
    add_subdirectory(${extra})
  endif()
endforeach()
