# kelvartix_module(<target> <glob>... [DEPS <targets>...]): a static library of the sources the
# globs find, or an interface library while the folder has none yet.
function(kelvartix_module target)
  cmake_parse_arguments(M "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${M_UNPARSED_ARGUMENTS})
  if(sources)
    add_library(${target} STATIC ${sources})
    target_link_libraries(${target} PUBLIC ${M_DEPS})
  else()
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE ${M_DEPS})
  endif()
endfunction()
