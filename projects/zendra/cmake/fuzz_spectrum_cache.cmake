# The spectrum-cache reader's fuzz harness (see cmake/ZendraFuzzing.cmake).
if(TARGET zendra_fucrr AND COMMAND zendra_add_fuzzer)
    zendra_add_fuzzer(zendra_spectrum_cache_fuzz
        SOURCES ${CMAKE_CURRENT_LIST_DIR}/../fuzz/spectrum_cache_fuzz.cpp
        LIBS zendra_fucrr Boost::filesystem
        CORPUS ${CMAKE_CURRENT_LIST_DIR}/../fuzz/corpus)
    if(TARGET zendra_spectrum_cache_fuzz AND TARGET d3d10warp)
        add_dependencies(zendra_spectrum_cache_fuzz d3d10warp)
    endif()
endif()
