# cmake --install: the public headers of the built subsystems, the libraries, the program, a CMake
# package (find_package(vorlan) gives vorlan::vorlan) and vorlan.pc for pkg-config. The program and its
# manual page are the component "program", the rest the component "dev" (the two Debian packages).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# The public headers: vorlan/vorlan.h and what it includes, directly or through another public
# header. The rest is the library's own machinery and does not install.
function(vorlan_public_headers out)
  set(pending vorlan/vorlan.h)
  set(found "")
  while(pending)
    list(POP_FRONT pending header)
    if(NOT header IN_LIST found)
      list(APPEND found ${header})
      file(STRINGS ${PROJECT_SOURCE_DIR}/${header} includes REGEX "^#include \"vorlan/")
      foreach(line ${includes})
        string(REGEX REPLACE "^#include \"(vorlan/[^\"]+)\".*" "\\1" included "${line}")
        list(APPEND pending ${included})
      endforeach()
    endif()
  endwhile()
  set(${out} ${found} PARENT_SCOPE)
endfunction()
vorlan_public_headers(VORLAN_PUBLIC_HEADERS)

# The program, the examples and the outside client use the library as its users do: through
# public headers only.
file(GLOB_RECURSE vorlan_clients ${PROJECT_SOURCE_DIR}/tools/*.cpp ${PROJECT_SOURCE_DIR}/tools/*.h
     ${PROJECT_SOURCE_DIR}/examples/*.cpp ${PROJECT_SOURCE_DIR}/tests/standalone/*.cpp)
foreach(file ${vorlan_clients})
  file(STRINGS ${file} includes REGEX "^#include \"vorlan/")
  foreach(line ${includes})
    string(REGEX REPLACE "^#include \"(vorlan/[^\"]+)\".*" "\\1" included "${line}")
    if(NOT included IN_LIST VORLAN_PUBLIC_HEADERS)
      file(RELATIVE_PATH shown ${PROJECT_SOURCE_DIR} ${file})
      message(FATAL_ERROR "${shown} includes ${included}, which is not a public header (not reached from vorlan/vorlan.h)")
    endif()
  endforeach()
endforeach()

foreach(header ${VORLAN_PUBLIC_HEADERS})
  get_filename_component(folder ${header} DIRECTORY)
  string(REGEX REPLACE "^vorlan/?" "" name "${folder}")
  if(name STREQUAL "" OR name IN_LIST VORLAN_BUILT)
    install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${folder} COMPONENT dev)
  endif()
endforeach()

set(VORLAN_INSTALLED vorlan)
if(TARGET vorlan_shared)
  list(APPEND VORLAN_INSTALLED vorlan_shared)
endif()
install(TARGETS ${VORLAN_INSTALLED} EXPORT vorlanTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(VORLAN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/vorlan)
install(EXPORT vorlanTargets NAMESPACE vorlan:: DESTINATION ${VORLAN_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/vorlanConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/vorlanConfig.cmake INSTALL_DESTINATION ${VORLAN_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/vorlanConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vorlanConfig.cmake ${PROJECT_BINARY_DIR}/vorlanConfigVersion.cmake
        DESTINATION ${VORLAN_CMAKE_DIR} COMPONENT dev)

# The .pc file finds its prefix from where it lies, so the package can be moved.
file(RELATIVE_PATH VORLAN_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/vorlan.pc.in ${PROJECT_BINARY_DIR}/vorlan.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vorlan.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
