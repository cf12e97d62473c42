# add_subfolders(): adds every child folder of the current one that has a CMakeLists.txt, so a
# new test, benchmark or tool folder joins the build by being there.
include_guard(GLOBAL)

function(add_subfolders)
  file(GLOB children LIST_DIRECTORIES true CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*)
  foreach(child ${children})
    if(IS_DIRECTORY ${child} AND EXISTS ${child}/CMakeLists.txt)
      add_subdirectory(${child})
    endif()
  endforeach()
endfunction()
