# cmake --install: the headers of the built subsystems, the libraries, the program, a CMake
# package (find_package(vorlan) gives vorlan::vorlan) and vorlan.pc for pkg-config.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

foreach(name ${VORLAN_BUILT})
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/vorlan/${name} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vorlan
          FILES_MATCHING PATTERN "*.h")
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/vorlan/vorlan.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/vorlan)

set(VORLAN_INSTALLED vorlan)
if(TARGET vorlan_shared)
  list(APPEND VORLAN_INSTALLED vorlan_shared)
endif()
install(TARGETS ${VORLAN_INSTALLED} EXPORT vorlanTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(VORLAN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/vorlan)
install(EXPORT vorlanTargets NAMESPACE vorlan:: DESTINATION ${VORLAN_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/vorlanConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/vorlanConfig.cmake INSTALL_DESTINATION ${VORLAN_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/vorlanConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vorlanConfig.cmake ${PROJECT_BINARY_DIR}/vorlanConfigVersion.cmake
        DESTINATION ${VORLAN_CMAKE_DIR})

# The .pc file finds its prefix from where it lies, so the package can be moved.
file(RELATIVE_PATH VORLAN_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/vorlan.pc.in ${PROJECT_BINARY_DIR}/vorlan.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vorlan.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
