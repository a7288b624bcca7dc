include(${CMAKE_CURRENT_SOURCE_DIR}/opencv-peer.cmake)
