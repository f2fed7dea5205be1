# The scene: the kaleidoscope, its update and render step, on the production's effects.
zendra_add_library(zendra_scene SOURCES Caleidoscope.cpp LIBS ${ZENDRA_LIBRARIES})
zendra_add_test(zendra_scene_tests SOURCES scene_tests.cpp LIBS zendra_scene)
