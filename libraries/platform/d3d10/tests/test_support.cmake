# The graphics stand-in's test support, for the tests and tools of every floor above it:
# the read-back of textures (d3d10_read_back.h) and the device tests' fixture and helpers
# (d3d10_test_util.h, header only). Defined with or without the tests: tools read back too.
add_library(platform_d3d10_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/d3d10_read_back.cpp)
target_include_directories(platform_d3d10_test_support PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(platform_d3d10_test_support PUBLIC platform_d3d10_core)
