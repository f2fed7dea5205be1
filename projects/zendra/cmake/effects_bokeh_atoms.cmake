# Bokeh and atoms transitions: the two effect objects, their tests and their benchmark.
zendra_add_library(zendra_bokeh_atoms SOURCES BokehEffect.cpp AtomsEffect.cpp LIBS zendra_draw)
zendra_add_test(zendra_bokeh_atoms_tests SOURCES bokeh_atoms_tests.cpp bokeh_atoms_gpu_tests.cpp
                bokeh_atoms_support.cpp LIBS zendra_bokeh_atoms
                DEFINITIONS BOKEH_ATOMS_OUTPUT_DIR="${CMAKE_BINARY_DIR}/bokeh_atoms")
zendra_add_bench(zendra_bokeh_atoms_bench SOURCES bokeh_atoms_bench.cpp bokeh_atoms_support.cpp
                 LIBS zendra_bokeh_atoms DEFINITIONS BOKEH_ATOMS_OUTPUT_DIR="${CMAKE_BINARY_DIR}/bokeh_atoms")
