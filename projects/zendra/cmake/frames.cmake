# The headless frame renderer (zendra_frames: PNG files of chosen rows), its test and the
# show's benchmark.
add_library(zendra_frames_renderer STATIC ${CMAKE_CURRENT_LIST_DIR}/../tools/frames_renderer.cpp)
target_include_directories(zendra_frames_renderer PUBLIC ${CMAKE_CURRENT_LIST_DIR}/../tools)
target_link_libraries(zendra_frames_renderer PUBLIC zendra_scene PRIVATE platform_d3d10_test_support)

add_executable(zendra_frames ${CMAKE_CURRENT_LIST_DIR}/../tools/frames.cpp)
target_link_libraries(zendra_frames PRIVATE zendra_frames_renderer Boost::filesystem)
add_dependencies(zendra_frames zendra_packed_effects bass)

zendra_add_test(zendra_frames_tests SOURCES frames_tests.cpp LIBS zendra_frames_renderer LABELS frames DEPENDS bass)
zendra_add_bench(zendra_show_bench SOURCES show_bench.cpp LIBS zendra_frames_renderer DEPENDS bass)
