# Installation: the library, its public headers, a CMake package and a
# pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS Zentrel EXPORT ZentrelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zentrel)
install(FILES ${PROJECT_SOURCE_DIR}/include/ImageDataModel.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zentrel)
file(GLOB ZENTREL_PUBLIC_PLATFORM_HEADERS ${PROJECT_SOURCE_DIR}/src/platform/public/*.h)
install(FILES ${ZENTREL_PUBLIC_PLATFORM_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zentrel)

install(EXPORT ZentrelTargets NAMESPACE Zentrel:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Zentrel)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ZentrelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/ZentrelConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Zentrel)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZentrelConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ZentrelConfig.cmake ${PROJECT_BINARY_DIR}/ZentrelConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Zentrel)

zentrel_install_pkgconfig(${PROJECT_SOURCE_DIR}/cmake/zentrel.pc.in zentrel)
