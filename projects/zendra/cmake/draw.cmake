# The steps of a draw that the production's effects share.
zendra_add_library(zendra_draw SOURCES DrawHelpers.cpp)
