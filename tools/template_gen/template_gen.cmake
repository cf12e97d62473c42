# add_window_template(target description handlers_file symbol)
# Generates the window template of `description` (JSON) at build time, with event handlers
# resolved through `handlers_file` (lines HANDLER(name, offset)), and adds the generated C++
# source defining `symbol` and `symbolSize` to `target`. The raw bytes land beside it as
# <symbol>.bin. Relative paths are taken from the calling folder.
include_guard(GLOBAL)

find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(WINDOW_TEMPLATE_GENERATOR_DIR ${CMAKE_CURRENT_LIST_DIR} CACHE INTERNAL "")

function(add_window_template target description handlers_file symbol)
  get_filename_component(desc ${description} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  get_filename_component(handlers ${handlers_file} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  set(out_dir ${CMAKE_CURRENT_BINARY_DIR}/window_templates)
  set(source ${out_dir}/${symbol}.cpp)
  set(gen ${WINDOW_TEMPLATE_GENERATOR_DIR})
  add_custom_command(
    OUTPUT ${source} ${out_dir}/${symbol}.bin
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
    COMMAND Python3::Interpreter ${gen}/template_gen.py ${desc} ${handlers} ${symbol}
            -o ${source} --bin ${out_dir}/${symbol}.bin
    DEPENDS ${desc} ${handlers} ${gen}/template_gen.py ${gen}/icon_draw.py
    COMMENT "Generating window template ${symbol}"
    VERBATIM)
  target_sources(${target} PRIVATE ${source})
endfunction()
