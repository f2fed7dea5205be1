# The spectrum table and the tetra simulation: the effect object, its tests and benchmark.
zendra_add_library(zendra_fucrr SOURCES FucrrEffect.cpp LIBS zendra_draw platform_regular_file)
# The spectrum is taken through the real audio module beside the programs.
zendra_add_test(zendra_fucrr_tests SOURCES fucrr_tests.cpp fucrr_gpu_tests.cpp fucrr_support.cpp
    LIBS zendra_fucrr DEPENDS bass)
zendra_add_bench(zendra_fucrr_bench SOURCES fucrr_bench.cpp fucrr_support.cpp LIBS zendra_fucrr DEPENDS bass)
