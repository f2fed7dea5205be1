# The production: zendra_lib (every source of src/ but the entry point), the two programs
# (1280 x 800 and 640 x 400), the compiled forms of the effect files, and the tests.
#   src/*.cpp               the scene and the effects, into zendra_lib
#   src/WinMain.cpp         the entry point of both programs
#   src/shaders/*.fx        the effect files, packed into <build>/zendra-packed
#   tests/*_tests.cpp       one GoogleTest program each: zendra_<file name>
#   tests/*_bench.cpp       one Google Benchmark program each: zendra_<file name>
#   tests/support/*.cpp     shared by every test and benchmark program
if(NOT TARGET fw OR NOT TARGET platform_winmain)
    message(STATUS "zendra: the framework is not configured; the program is skipped")
    return()
endif()

set(ZENDRA_SRC_DIR ${CMAKE_CURRENT_LIST_DIR}/src)
set(ZENDRA_TESTS_DIR ${CMAKE_CURRENT_LIST_DIR}/tests)
set(FW_SRC_DIR ${CMAKE_SOURCE_DIR}/libraries/fw/src)

file(GLOB ZENDRA_SOURCES CONFIGURE_DEPENDS ${ZENDRA_SRC_DIR}/*.cpp)
list(REMOVE_ITEM ZENDRA_SOURCES ${ZENDRA_SRC_DIR}/WinMain.cpp)
if(NOT ZENDRA_SOURCES)
    return()
endif()
add_library(zendra_lib STATIC ${ZENDRA_SOURCES})
target_include_directories(zendra_lib PUBLIC ${ZENDRA_SRC_DIR})
target_link_libraries(zendra_lib PUBLIC fw Boost::filesystem)

# The compiled fallback of every effect file (the framework's and the production's).
file(GLOB ZENDRA_EFFECT_FILES CONFIGURE_DEPENDS ${ZENDRA_SRC_DIR}/shaders/*.fx ${ZENDRA_SRC_DIR}/shaders/*.fxi)
set(ZENDRA_PACKED_DIR ${CMAKE_BINARY_DIR}/zendra-packed)
d3dx10_pack_effects(zendra_packed_effects ${ZENDRA_PACKED_DIR}
    ${ZENDRA_EFFECT_FILES} ${FW_SRC_DIR}/shaders/fw_Globals.fxi ${FW_SRC_DIR}/shaders/fw_PostEffects.fx
    INCLUDE_DIRS ${ZENDRA_SRC_DIR}/shaders ${FW_SRC_DIR}/shaders)

set(ZENDRA_MODULES d3d10warp $<TARGET_NAME_IF_EXISTS:bass>)
if(EXISTS ${ZENDRA_SRC_DIR}/WinMain.cpp)
    # 1280 x 800, and 640 x 400 with its own copy of the framework's state.
    add_executable(zendra ${ZENDRA_SRC_DIR}/WinMain.cpp)
    target_link_libraries(zendra PRIVATE zendra_lib platform_winmain)
    add_executable(zendra_640 ${ZENDRA_SRC_DIR}/WinMain.cpp ${FW_SRC_DIR}/fw_FrameworkState.cpp)
    target_compile_definitions(zendra_640 PRIVATE FW_DEFAULT_WINDOW_WIDTH=640 FW_DEFAULT_WINDOW_HEIGHT=400)
    target_link_libraries(zendra_640 PRIVATE zendra_lib platform_winmain)
    foreach(program zendra zendra_640)
        add_dependencies(${program} d3d10warp zendra_data zendra_packed_effects)
        if(TARGET bass)
            add_dependencies(${program} bass)
        endif()
    endforeach()
    # The shipped folder: <build>/dist with both programs, the run-time modules,
    # src/shaders (sources and compiled forms) and data.
    if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/tools/layout-dist.sh)
        set(ZENDRA_DIST_DIR ${CMAKE_BINARY_DIR}/dist)
        add_custom_target(zendra_dist ALL
            COMMAND ${CMAKE_CURRENT_LIST_DIR}/tools/layout-dist.sh ${ZENDRA_DIST_DIR}
                    ${CMAKE_BINARY_DIR}/bin ${ZENDRA_DATA_DIR} ${ZENDRA_PACKED_DIR}
                    ${ZENDRA_SRC_DIR}/shaders ${FW_SRC_DIR}/shaders
            DEPENDS zendra zendra_640 zendra_packed_effects zendra_data
            COMMENT "Laying out the shipped folder ${ZENDRA_DIST_DIR}"
            VERBATIM)
    endif()
endif()

if(NOT ZENDRA_TESTS)
    return()
endif()
# The framework's resource-test support (software device, framework object, read-back,
# a sync device with settable tracks) and the production's own.
file(GLOB ZENDRA_TEST_SUPPORT CONFIGURE_DEPENDS ${ZENDRA_TESTS_DIR}/support/*.cpp)
list(APPEND ZENDRA_TEST_SUPPORT ${CMAKE_SOURCE_DIR}/libraries/fw/tests/resources_support.cpp)
set(ZENDRA_TEST_DEFINITIONS
    ZENDRA_PROJECT_DIR="${CMAKE_CURRENT_LIST_DIR}"
    ZENDRA_DATA_DIR="${ZENDRA_DATA_DIR}"
    ZENDRA_TESTDATA_DIR="${ZENDRA_TESTDATA_DIR}"
    ZENDRA_PACKED_DIR="${ZENDRA_PACKED_DIR}"
    ZENDRA_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
file(GLOB ZENDRA_TEST_SOURCES CONFIGURE_DEPENDS ${ZENDRA_TESTS_DIR}/*_tests.cpp)
foreach(source ${ZENDRA_TEST_SOURCES})
    get_filename_component(stem ${source} NAME_WE)
    zendra_add_gtest(zendra_${stem}
        SOURCES ${source} ${ZENDRA_TEST_SUPPORT}
        LIBS zendra_lib Boost::filesystem
        LABELS zendra)
    target_include_directories(zendra_${stem} PRIVATE ${ZENDRA_TESTS_DIR} ${CMAKE_SOURCE_DIR}/libraries/fw/tests)
    target_compile_definitions(zendra_${stem} PRIVATE ${ZENDRA_TEST_DEFINITIONS})
    add_dependencies(zendra_${stem} d3d10warp zendra_data zendra_testdata zendra_packed_effects)
endforeach()
file(GLOB ZENDRA_BENCH_SOURCES CONFIGURE_DEPENDS ${ZENDRA_TESTS_DIR}/*_bench.cpp)
foreach(source ${ZENDRA_BENCH_SOURCES})
    get_filename_component(stem ${source} NAME_WE)
    zendra_add_benchmark(zendra_${stem}
        SOURCES ${source} ${ZENDRA_TEST_SUPPORT}
        LIBS zendra_lib Boost::filesystem GTest::gtest)
    target_include_directories(zendra_${stem} PRIVATE ${ZENDRA_TESTS_DIR} ${CMAKE_SOURCE_DIR}/libraries/fw/tests)
    target_compile_definitions(zendra_${stem} PRIVATE ${ZENDRA_TEST_DEFINITIONS})
    add_dependencies(zendra_${stem} d3d10warp zendra_data zendra_packed_effects)
endforeach()
# End-to-end runs of the real program (tests/e2e/CMakeLists.txt, when present).
if(TARGET zendra AND EXISTS ${ZENDRA_TESTS_DIR}/e2e/CMakeLists.txt)
    include(${ZENDRA_TESTS_DIR}/e2e/CMakeLists.txt)
endif()
