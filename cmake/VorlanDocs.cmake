# The reference, `cmake --build build --target docs`: HTML in build/docs/html from the comments of
# the public headers (VORLAN_PUBLIC_HEADERS, the closure of vorlan/vorlan.h) and the pages of docs/,
# with the README as the main page. A public name without documentation fails the target.
find_package(Doxygen)
if(NOT DOXYGEN_FOUND)
  message(STATUS "doxygen not found: no docs target")
  return()
endif()

set(VORLAN_DOCS_OUTPUT ${PROJECT_BINARY_DIR}/docs)
file(GLOB vorlan_doc_pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md ${PROJECT_SOURCE_DIR}/docs/guide/*.md)
set(VORLAN_DOCS_INPUT "")
foreach(file ${PROJECT_SOURCE_DIR}/README.md ${vorlan_doc_pages} ${VORLAN_PUBLIC_HEADERS})
  cmake_path(ABSOLUTE_PATH file BASE_DIRECTORY ${PROJECT_SOURCE_DIR})
  string(APPEND VORLAN_DOCS_INPUT " \\\n                         \"${file}\"")
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${PROJECT_BINARY_DIR}/Doxyfile @ONLY)
add_custom_target(docs COMMAND Doxygen::doxygen ${PROJECT_BINARY_DIR}/Doxyfile
                  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
                  COMMENT "Rendering the reference into ${VORLAN_DOCS_OUTPUT}/html" VERBATIM)
