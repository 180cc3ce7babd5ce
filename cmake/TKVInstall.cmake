# Installs the library, its headers, a CMake package (find_package(tkvagent) giving
# tkvagent::tkvagent) and a pkg-config file.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS tkvagent EXPORT tkvagentTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY include/tkv DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT tkvagentTargets
    NAMESPACE tkvagent::
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tkvagent)

configure_package_config_file(cmake/tkvagentConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/tkvagentConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tkvagent)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/tkvagentConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES
    ${CMAKE_CURRENT_BINARY_DIR}/tkvagentConfig.cmake
    ${CMAKE_CURRENT_BINARY_DIR}/tkvagentConfigVersion.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tkvagent)

# The .pc file finds its prefix relative to itself, so an installed tree can be moved.
file(RELATIVE_PATH TKV_PC_TO_PREFIX "${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig" "${CMAKE_INSTALL_PREFIX}")
configure_file(cmake/tkvagent.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tkvagent.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tkvagent.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
