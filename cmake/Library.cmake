# qv_library(NAME FOLDER dir SOURCES a.cpp ... [USES lib ...] [PRIVATE lib ...])
#
# One folder, one static library. The library exports its own folder's headers
# and nothing else: each header is linked into a tree of its own below the
# build folder (include/NAME/dir/x.h), and that tree is the library's public
# include directory. A folder therefore sees another folder's headers only
# when it links that folder's library, and tests/boundaries checks that it
# links only what its readme says it may use.
function(qv_library name)
  cmake_parse_arguments(QV "" "FOLDER" "SOURCES;USES;PRIVATE" ${ARGN})
  add_library(${name} STATIC ${QV_SOURCES})
  set(exported ${CMAKE_BINARY_DIR}/include/${name})
  file(REMOVE_RECURSE ${exported})
  file(MAKE_DIRECTORY ${exported}/${QV_FOLDER})
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${QV_FOLDER}/*.h)
  foreach(header IN LISTS headers)
    get_filename_component(base ${header} NAME)
    file(CREATE_LINK ${header} ${exported}/${QV_FOLDER}/${base} SYMBOLIC)
  endforeach()
  target_include_directories(${name} PUBLIC ${exported})
  target_link_libraries(${name} PUBLIC ${QV_USES} PRIVATE ${QV_PRIVATE})
endfunction()
