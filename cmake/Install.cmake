# Installs the shared library, its header, bmpframe, a CMake package
# (find_package(VelmoraBMPFilterFrame) gives Velmora::VelmoraBMPFilterFrame)
# and a pkg-config file. Every file is placed relative to the prefix, so the
# package may be moved or installed with `cmake --install --prefix`.
include(CMakePackageConfigHelpers)

set(velmora_package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/VelmoraBMPFilterFrame)

install(TARGETS VelmoraBMPFilterFrame EXPORT VelmoraTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(TARGET bmpframe)
  install(TARGETS bmpframe RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(EXPORT VelmoraTargets NAMESPACE Velmora::
  FILE VelmoraBMPFilterFrameTargets.cmake DESTINATION ${velmora_package_dir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/VelmoraBMPFilterFrameConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VelmoraBMPFilterFrameConfig.cmake INSTALL_DESTINATION ${velmora_package_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VelmoraBMPFilterFrameConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VelmoraBMPFilterFrameConfig.cmake
  ${PROJECT_BINARY_DIR}/VelmoraBMPFilterFrameConfigVersion.cmake DESTINATION ${velmora_package_dir})

# The way up from the pkg-config directory to the prefix ("../.." for lib/pkgconfig).
file(RELATIVE_PATH VELMORA_PC_PREFIX_FROM_PCDIR /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" VELMORA_PC_PREFIX_FROM_PCDIR "${VELMORA_PC_PREFIX_FROM_PCDIR}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/VelmoraBMPFilterFrame.pc.in
  ${PROJECT_BINARY_DIR}/VelmoraBMPFilterFrame.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/VelmoraBMPFilterFrame.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
