# The spectrum-cache reader's fuzz harness (see cmake/ZendraFuzzing.cmake).
zendra_add_fuzzer(zendra_spectrum_cache_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/../fuzz/spectrum_cache_fuzz.cpp
    LIBS zendra_fucrr Boost::filesystem
    CORPUS ${CMAKE_CURRENT_LIST_DIR}/../fuzz/corpus
    DEPENDS d3d10warp)
