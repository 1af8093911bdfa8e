# Install rules, the CMake package (nrx::nrx, nrx::core) and the pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(NRX_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/nrx)

# The kernel library brings the core library to whoever links it, in the build tree
# (add_subdirectory) and once installed.
target_link_libraries(nrx_zar_avx512 INTERFACE nrx_core)
# Installed consumers see only the installed headers; the build tree keeps its own paths.
set_property(TARGET nrx_zar_avx512 PROPERTY INTERFACE_INCLUDE_DIRECTORIES
  $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/gen> $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
set_target_properties(nrx_zar_avx512 PROPERTIES EXPORT_NAME nrx
  INSTALL_RPATH "$ORIGIN")
set_target_properties(nrx_core PROPERTIES EXPORT_NAME core)
add_library(nrx::nrx ALIAS nrx_zar_avx512)
add_library(nrx::core ALIAS nrx_core)

install(TARGETS nrx_zar_avx512 nrx_core EXPORT nrxTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} NAMELINK_COMPONENT dev
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/nrx DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h")
install(FILES ${PROJECT_BINARY_DIR}/include/nrx/version.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/nrx)
install(EXPORT nrxTargets NAMESPACE nrx:: DESTINATION ${NRX_CMAKE_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/nrxConfig.cmake.in
  ${PROJECT_BINARY_DIR}/cmake/nrxConfig.cmake INSTALL_DESTINATION ${NRX_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/cmake/nrxConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/cmake/nrxConfig.cmake ${PROJECT_BINARY_DIR}/cmake/nrxConfigVersion.cmake
  DESTINATION ${NRX_CMAKE_DIR})

configure_file(${PROJECT_SOURCE_DIR}/cmake/nrx.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/nrx.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/pkgconfig/nrx.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR})
