# Light shafts and dust: the two effect objects, their tests and their benchmark.
zendra_add_library(zendra_shafts_dust SOURCES VolumetricLight.cpp DustEffect.cpp LIBS zendra_draw)
zendra_add_test(zendra_shafts_dust_tests SOURCES shafts_dust_tests.cpp shafts_dust_support.cpp
                LIBS zendra_shafts_dust)
zendra_add_bench(zendra_shafts_dust_bench SOURCES shafts_dust_bench.cpp shafts_dust_support.cpp
                 LIBS zendra_shafts_dust)
