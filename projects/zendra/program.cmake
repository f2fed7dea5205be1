# The production: its libraries, the two programs (1280 x 800 and 640 x 400), the compiled
# forms of the effect files, and the tests. Each area keeps its targets in a file of its
# own under cmake/ (read in the order below, each after the areas it links), built with
# the functions below:
#   zendra_add_library(<name> SOURCES ...)   a static library of src/ files on the framework;
#                                            every one of them is part of the program
#   zendra_add_test(<name> SOURCES ... [LIBS ...] [LABELS ...] [DEFINITIONS ...] [DEPENDS ...])
#   zendra_add_bench(<name> SOURCES ... [LIBS ...] [DEFINITIONS ...] [DEPENDS ...])
# Test and benchmark programs link the production's test support (tests/support, on the
# framework's: software device, framework object, read-back, a sync device with settable
# tracks) and get the folders of the build as ZENDRA_* definitions.
set(ZENDRA_SRC_DIR ${CMAKE_CURRENT_LIST_DIR}/src)
set(ZENDRA_TESTS_DIR ${CMAKE_CURRENT_LIST_DIR}/tests)
set(FW_SRC_DIR ${CMAKE_SOURCE_DIR}/libraries/fw/src)
set(ZENDRA_PACKED_DIR ${CMAKE_BINARY_DIR}/zendra-packed)
set(ZENDRA_LIBRARIES)

function(zendra_add_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    list(TRANSFORM ARG_SOURCES PREPEND ${ZENDRA_SRC_DIR}/)
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${ZENDRA_SRC_DIR})
    target_link_libraries(${name} PUBLIC fw Boost::filesystem ${ARG_LIBS})
    set(ZENDRA_LIBRARIES ${ZENDRA_LIBRARIES} ${name} PARENT_SCOPE)
endfunction()

if(ZENDRA_TESTS)
    include(${ZENDRA_TESTS_DIR}/support/test_support.cmake)
endif()
function(zendra_test_setup name)
    target_include_directories(${name} PRIVATE ${ZENDRA_TESTS_DIR})
    target_compile_definitions(${name} PRIVATE
        ZENDRA_PROJECT_DIR="${CMAKE_CURRENT_FUNCTION_LIST_DIR}"
        ZENDRA_DATA_DIR="${ZENDRA_DATA_DIR}"
        ZENDRA_TESTDATA_DIR="${ZENDRA_TESTDATA_DIR}"
        ZENDRA_PACKED_DIR="${ZENDRA_PACKED_DIR}"
        ZENDRA_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
        FW_SOURCE_ROOT="${CMAKE_SOURCE_DIR}/libraries/fw")
    add_dependencies(${name} d3d10warp zendra_data zendra_testdata zendra_packed_effects)
endfunction()

function(zendra_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;DEFINITIONS;DEPENDS" ${ARGN})
    if(NOT ZENDRA_TESTS)
        return()
    endif()
    list(TRANSFORM ARG_SOURCES PREPEND ${ZENDRA_TESTS_DIR}/)
    zendra_add_gtest(${name}
        SOURCES ${ARG_SOURCES}
        LIBS ${ARG_LIBS} zendra_test_support Boost::filesystem
        LABELS zendra ${ARG_LABELS}
        DEFINITIONS ${ARG_DEFINITIONS}
        DEPENDS ${ARG_DEPENDS})
    zendra_test_setup(${name})
endfunction()

function(zendra_add_bench name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;DEFINITIONS;DEPENDS" ${ARGN})
    if(NOT ZENDRA_TESTS)
        return()
    endif()
    list(TRANSFORM ARG_SOURCES PREPEND ${ZENDRA_TESTS_DIR}/)
    zendra_add_benchmark(${name}
        SOURCES ${ARG_SOURCES}
        LIBS ${ARG_LIBS} zendra_test_support Boost::filesystem GTest::gtest
        DEFINITIONS ${ARG_DEFINITIONS}
        DEPENDS ${ARG_DEPENDS})
    zendra_test_setup(${name})
endfunction()

# The compiled fallback of every effect file (the framework's and the production's).
set(ZENDRA_EFFECT_FILES atoms.fx bokeh.fx caleidoscope.fx dust.fx fucrr.fx pyramides.fx volumetricLight.fx)
list(TRANSFORM ZENDRA_EFFECT_FILES PREPEND ${ZENDRA_SRC_DIR}/shaders/)
d3dx10_pack_effects(zendra_packed_effects ${ZENDRA_PACKED_DIR}
    ${ZENDRA_EFFECT_FILES} ${FW_SRC_DIR}/shaders/fw_Globals.fxi ${FW_SRC_DIR}/shaders/fw_PostEffects.fx
    INCLUDE_DIRS ${ZENDRA_SRC_DIR}/shaders ${FW_SRC_DIR}/shaders)

include(cmake/draw.cmake)
include(cmake/effects_bokeh_atoms.cmake)
include(cmake/effects_fucrr.cmake)
include(cmake/effects_shafts_dust.cmake)
include(cmake/scene.cmake)
include(cmake/frames.cmake)
include(cmake/fuzz_spectrum_cache.cmake)

# 1280 x 800, and 640 x 400, whose entry gives the framework that window size.
add_executable(zendra ${ZENDRA_SRC_DIR}/WinMain.cpp)
target_link_libraries(zendra PRIVATE zendra_scene platform_winmain)
add_executable(zendra_640 ${ZENDRA_SRC_DIR}/WinMain.cpp)
target_compile_definitions(zendra_640 PRIVATE ZENDRA_WINDOW_WIDTH=640 ZENDRA_WINDOW_HEIGHT=400)
target_link_libraries(zendra_640 PRIVATE zendra_scene platform_winmain)
foreach(program zendra zendra_640)
    zendra_sanitize_support(${program})
    add_dependencies(${program} d3d10warp bass zendra_data zendra_packed_effects)
endforeach()
# The shipped folder: <build>/dist with both programs, the run-time modules, src/shaders
# (sources and compiled forms) and data.
set(ZENDRA_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
add_custom_target(zendra_dist ALL
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/tools/layout-dist.sh ${ZENDRA_DIST_DIR}
            ${CMAKE_BINARY_DIR}/bin ${ZENDRA_DATA_DIR} ${ZENDRA_PACKED_DIR}
            ${ZENDRA_SRC_DIR}/shaders ${FW_SRC_DIR}/shaders
    DEPENDS zendra zendra_640 zendra_packed_effects zendra_data
    COMMENT "Laying out the shipped folder ${ZENDRA_DIST_DIR}"
    VERBATIM)
# End-to-end runs of the real program, with the test data and with bad data.
if(ZENDRA_TESTS)
    include(${ZENDRA_TESTS_DIR}/e2e/CMakeLists.txt)
    include(${ZENDRA_TESTS_DIR}/e2e_baddata/CMakeLists.txt)
endif()
