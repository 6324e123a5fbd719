# The include check of the layer table, on small trees and on this one.
add_test(NAME build.check_layers
         COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
                 -DWORK=${CMAKE_CURRENT_BINARY_DIR}/check_layers
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/check_layers_test.cmake)
