# kelvartix_module(<target> <glob>... [DEPS <targets>...] [PRIVATE_DEPS <targets>...])
#
# A static library of the sources the globs find (an interface library while the folder has none
# yet) for the folder of the CMakeLists.txt that calls it. Its headers are included as
# "<folder>/name.h" from an include root of its own, which holds that folder alone: a library sees
# the roots of the libraries it links and no other, so a header of a folder it does not depend on
# (a floor above it) is not found and the build fails.
#   DEPS: libraries its own headers include, so that its users see them too;
#   PRIVATE_DEPS: libraries only its sources use.
function(kelvartix_module target)
  cmake_parse_arguments(M "" "" "DEPS;PRIVATE_DEPS" ${ARGN})
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  set(root ${PROJECT_BINARY_DIR}/include_roots/${target})
  kelvartix_link_folder(${root}/${folder} ${CMAKE_CURRENT_SOURCE_DIR})
  file(GLOB sources CONFIGURE_DEPENDS ${M_UNPARSED_ARGUMENTS})
  if(sources)
    add_library(${target} STATIC ${sources})
    target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
    target_link_libraries(${target} PUBLIC ${M_DEPS} PRIVATE ${M_PRIVATE_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE $<BUILD_INTERFACE:${root}>)
    target_link_libraries(${target} INTERFACE ${M_DEPS} ${M_PRIVATE_DEPS})
  endif()
endfunction()

# A symbolic link at <link> to the source folder <folder>, made again when it points elsewhere.
function(kelvartix_link_folder link folder)
  if(IS_SYMLINK ${link})
    file(READ_SYMLINK ${link} current)
    if(current STREQUAL folder)
      return()
    endif()
    file(REMOVE ${link})
  endif()
  get_filename_component(parent ${link} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${folder} ${link} SYMBOLIC)
endfunction()
