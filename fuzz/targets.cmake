# One list per subsystem.
include(${CMAKE_CURRENT_LIST_DIR}/intake.cmake OPTIONAL)
include(${CMAKE_CURRENT_LIST_DIR}/text.cmake OPTIONAL)
include(${CMAKE_CURRENT_LIST_DIR}/xlsx.cmake OPTIONAL)
