# add_include_root(<target> <scope> <name> <path>...)
#   Gives <target> an include folder that holds only the listed paths of the source tree
#   (folders or single files, each linked under its own path from the repository root). Code
#   then names the folder of every header it includes ("runtime/interface/records.h"), as the
#   rest of the tree does, and still cannot include anything that is not listed: program code
#   sees the program interface and the program's own folders, never the runtime's internals.
include_guard(GLOBAL)

function(add_include_root target scope name)
  set(root ${CMAKE_BINARY_DIR}/include_roots/${name})
  foreach(path ${ARGN})
    if(NOT EXISTS ${PROJECT_SOURCE_DIR}/${path})
      message(FATAL_ERROR "add_include_root: ${path} is not in the source tree")
    endif()
    get_filename_component(parent ${root}/${path} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${path} ${root}/${path} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} ${root})
endfunction()
