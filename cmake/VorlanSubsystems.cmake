# The library's subsystems as a declared stack: each folder vorlan/<name>/ is one object
# library that may include only itself and what it requires, directly or through another
# requirement. Configuring fails when a source includes a folder outside that closure.

# name:required,required… bottom up
set(VORLAN_LAYERS
  "framework"
  "support:framework"
  "bignum:support"
  "digest:support"
  "random:digest"
  "cipher:random"
  "rsa:cipher,bignum"
  "ec:bignum"
  "asn1:cipher,digest"
  "x509:asn1,rsa,ec"
  "pkcs:x509"
  "store:x509"
  "ldap:asn1")

set(VORLAN_ALL_SUBSYSTEMS)
foreach(layer ${VORLAN_LAYERS})
  string(REGEX REPLACE "[:,]" ";" parts "${layer}")
  list(POP_FRONT parts name)
  list(APPEND VORLAN_ALL_SUBSYSTEMS ${name})
  set(VORLAN_REQUIRES_${name} ${parts})
endforeach()

# VORLAN_CLOSURE_<name>: the subsystem, its requirements and theirs.
foreach(name ${VORLAN_ALL_SUBSYSTEMS})
  set(closure ${name})
  foreach(required ${VORLAN_REQUIRES_${name}})
    if(NOT DEFINED VORLAN_CLOSURE_${required})
      message(FATAL_ERROR "subsystem ${name} requires ${required}, which is not below it")
    endif()
    list(APPEND closure ${VORLAN_CLOSURE_${required}})
  endforeach()
  list(REMOVE_DUPLICATES closure)
  set(VORLAN_CLOSURE_${name} ${closure})
endforeach()

# The closure of a list of subsystems, in layer order.
function(vorlan_closure_of out)
  set(wanted)
  foreach(name ${ARGN})
    if(NOT DEFINED VORLAN_CLOSURE_${name})
      message(FATAL_ERROR "unknown subsystem: ${name}")
    endif()
    list(APPEND wanted ${VORLAN_CLOSURE_${name}})
  endforeach()
  set(ordered)
  foreach(name ${VORLAN_ALL_SUBSYSTEMS})
    if(name IN_LIST wanted)
      list(APPEND ordered ${name})
    endif()
  endforeach()
  set(${out} ${ordered} PARENT_SCOPE)
endfunction()

# Fails when a file of subsystem `name` includes a folder of vorlan/ outside its closure.
function(vorlan_check_includes name)
  file(GLOB files ${PROJECT_SOURCE_DIR}/vorlan/${name}/*.h ${PROJECT_SOURCE_DIR}/vorlan/${name}/*.cpp)
  foreach(file ${files})
    file(STRINGS ${file} includes REGEX "^#include \"vorlan/[a-z0-9]+/")
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"vorlan/([a-z0-9]+)/.*" "\\1" target "${line}")
      if(NOT target IN_LIST VORLAN_CLOSURE_${name})
        file(RELATIVE_PATH shown ${PROJECT_SOURCE_DIR} ${file})
        message(FATAL_ERROR "${shown} includes vorlan/${target}/, which subsystem ${name} does not require")
      endif()
    endforeach()
  endforeach()
endfunction()

# One object library per subsystem with sources, linked to what it requires.
function(vorlan_add_subsystems)
  set(objects)
  foreach(name ${ARGN})
    vorlan_check_includes(${name})
    file(GLOB sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/vorlan/${name}/*.cpp)
    if(sources)
      add_library(vorlan_${name} OBJECT ${sources})
    else()
      add_library(vorlan_${name} INTERFACE)
    endif()
    get_target_property(kind vorlan_${name} TYPE)
    if(kind STREQUAL "INTERFACE_LIBRARY")
      set(scope INTERFACE)
    else()
      set(scope PUBLIC)
      list(APPEND objects $<TARGET_OBJECTS:vorlan_${name}>)
    endif()
    target_include_directories(vorlan_${name} ${scope} ${PROJECT_SOURCE_DIR})
    foreach(required ${VORLAN_REQUIRES_${name}})
      target_link_libraries(vorlan_${name} ${scope} vorlan_${required})
    endforeach()
  endforeach()
  set(VORLAN_OBJECTS ${objects} PARENT_SCOPE)
endfunction()

# Each subsystem linked alone with what it requires: a program made of the objects of its
# closure fails to link when one of them refers to a subsystem it does not require (object
# files, unlike archive members, are linked whole). The target vorlan_closures links them all;
# the objects are those of the library, compiled once.
function(vorlan_add_closure_links)
  set(main ${CMAKE_BINARY_DIR}/closure_main.cpp)
  file(CONFIGURE OUTPUT ${main} CONTENT "int main() { return 0; }\n")
  add_custom_target(vorlan_closures)
  foreach(name ${ARGN})
    set(objects)
    foreach(required ${VORLAN_CLOSURE_${name}})
      get_target_property(kind vorlan_${required} TYPE)
      if(kind STREQUAL "OBJECT_LIBRARY")
        list(APPEND objects $<TARGET_OBJECTS:vorlan_${required}>)
      endif()
    endforeach()
    add_executable(vorlan_alone_${name} EXCLUDE_FROM_ALL ${main} ${objects})
    target_link_libraries(vorlan_alone_${name} PRIVATE Threads::Threads)
    add_dependencies(vorlan_closures vorlan_alone_${name})
  endforeach()
endfunction()
