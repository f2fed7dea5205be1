# The bad-data end-to-end test, declared after the program and its shipped folder (which
# program.cmake makes after the area files). The path is fixed now: the arguments of a
# deferred call are read when it runs.
set(ZENDRA_BADDATA_LIST ${CMAKE_CURRENT_LIST_DIR}/../tests/e2e_baddata/CMakeLists.txt)
cmake_language(EVAL CODE "cmake_language(DEFER CALL include [[${ZENDRA_BADDATA_LIST}]])")
