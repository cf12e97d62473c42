# add_skin_blobs(target [SECTION name])
#   Builds the skin library (target skin_library) and adds to `target` a generated C++ source
#   that defines the library and the 33 skin blocks as constant byte sets; the symbols are
#   declared in skin/skin_blobs.h, which joins the target's include path. With SECTION
#   every array is placed in that linker section, so that a program keeps them inside its
#   constant area: add_skin_blobs(program SECTION ".rdata$program_constants_m") puts them
#   between the markers of runtime/interface/constant_area.h.
include_guard(GLOBAL)
find_program(SKIN_PACK_PYTHON NAMES python3 REQUIRED)
set(SKIN_PACK_DIR ${CMAKE_CURRENT_LIST_DIR} CACHE INTERNAL "skin packing tool folder")

function(add_skin_blobs target)
  cmake_parse_arguments(ARG "" "SECTION" "" ${ARGN})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_skin_blobs.cpp)
  set(section_args)
  if(ARG_SECTION)
    set(section_args --section ${ARG_SECTION})
  endif()
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${SKIN_PACK_PYTHON} ${SKIN_PACK_DIR}/skin_pack.py blobs
            --library $<TARGET_FILE:skin_library> --out ${out} ${section_args}
    DEPENDS skin_library ${SKIN_PACK_DIR}/skin_pack.py ${SKIN_PACK_DIR}/schemes.py
    COMMENT "Packing the skin library and skin blocks for ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${out})
  add_include_root(${target} PRIVATE skin_blobs skin/skin_blobs.h)
endfunction()
