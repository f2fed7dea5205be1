# zendra_add_gtest(<name> SOURCES ... [LIBS ...] [LABELS ...] [ENV VAR=value ...]
#                  [DEFINITIONS NAME=value ...] [DEPENDS target ...])
#   A GoogleTest executable; every test case becomes one CTest test. DEFINITIONS are its
#   compile definitions, DEPENDS the targets built before it (modules, data it reads).
# zendra_add_benchmark(<name> SOURCES ... [LIBS ...] [ENV ...] [DEFINITIONS ...] [DEPENDS ...])
#   A Google Benchmark executable; CTest runs it once briefly (label "benchmark")
#   so that it keeps working. Run it by hand for the real numbers.
# Neither makes a target in a build without tests (-DZENDRA_TESTS=OFF).
# zendra_sanitize_support(<target>)
#   In the sanitizer build, a program that loads the GL driver keeps it loaded until exit
#   (tools/sanitize/keep_gl_driver_loaded.cpp); the two functions above call it.
if(ZENDRA_TESTS)
    enable_testing()
    find_package(GTest REQUIRED)
    find_package(benchmark REQUIRED)
    include(GoogleTest)
endif()

function(zendra_sanitize_support target)
    if(ZENDRA_SANITIZE)
        target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/tools/sanitize/keep_gl_driver_loaded.cpp)
    endif()
endfunction()

# The definitions and dependencies of a test or benchmark program.
function(zendra_test_program_extras name definitions depends)
    if(definitions)
        target_compile_definitions(${name} PRIVATE ${definitions})
    endif()
    if(depends)
        add_dependencies(${name} ${depends})
    endif()
endfunction()

function(zendra_add_gtest name)
    if(NOT ZENDRA_TESTS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;ENV;DEFINITIONS;DEPENDS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
    zendra_sanitize_support(${name})
    zendra_test_program_extras(${name} "${ARG_DEFINITIONS}" "${ARG_DEPENDS}")
    set(props)
    if(ARG_LABELS)
        list(APPEND props LABELS "${ARG_LABELS}")
        # Tests on the X display share its focus and keyboard: one at a time.
        if("display" IN_LIST ARG_LABELS)
            list(APPEND props RESOURCE_LOCK x_display)
        endif()
    endif()
    if(ARG_ENV)
        list(APPEND props ENVIRONMENT "${ARG_ENV}")
    endif()
    if(props)
        set(props PROPERTIES ${props})
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
        DISCOVERY_TIMEOUT 60
        ${props})
endfunction()

function(zendra_add_benchmark name)
    if(NOT ZENDRA_TESTS)
        return()
    endif()
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENV;DEFINITIONS;DEPENDS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
    zendra_sanitize_support(${name})
    zendra_test_program_extras(${name} "${ARG_DEFINITIONS}" "${ARG_DEPENDS}")
    add_test(NAME ${name} COMMAND ${name} --benchmark_min_time=0.01)
    set_tests_properties(${name} PROPERTIES LABELS benchmark
        WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    if(ARG_ENV)
        set_tests_properties(${name} PROPERTIES ENVIRONMENT "${ARG_ENV}")
    endif()
endfunction()
