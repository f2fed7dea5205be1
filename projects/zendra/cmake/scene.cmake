# The scene: the kaleidoscope, its update and render step, on the production's effects; and
# the show's set-up (its settings, scene and images loaded ahead) that the programs and tools share.
zendra_add_library(zendra_scene SOURCES Caleidoscope.cpp Show.cpp LIBS ${ZENDRA_LIBRARIES})
zendra_add_test(zendra_scene_tests SOURCES scene_tests.cpp LIBS zendra_scene)
