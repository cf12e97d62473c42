# Checks that every folder of the product includes only from the folders below it, so that the
# arrows between folders point one way. Run with cmake -D SOURCE_DIR=<repository root> -P.
# Each entry: a folder, then the path prefixes its sources may include.
set(directions
  "framework: framework/"
  "runtime: runtime/ framework/"
  "commands: commands/ runtime/interface/ runtime/values.h framework/"
  "forms: forms/ runtime/ framework/"
  "extui: extui/ forms/unit_operations.h runtime/interface/ framework/"
  "skin: skin/"
  "program: program/ runtime/interface/"
  "web: web/ program/ runtime/interface/"
  "app: app/ web/ program/ runtime/interface/")

set(faults "")
foreach(entry ${directions})
  string(REGEX MATCH "^([a-z]+): (.*)$" _ "${entry}")
  set(folder ${CMAKE_MATCH_1})
  string(REPLACE " " ";" allowed "${CMAKE_MATCH_2}")
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"")
    foreach(line ${includes})
      string(REGEX MATCH "\"([^\"]+)\"" _ "${line}")
      set(path ${CMAKE_MATCH_1})
      set(ok FALSE)
      foreach(prefix ${allowed})
        string(FIND "${path}" "${prefix}" at)
        if(at EQUAL 0)
          set(ok TRUE)
        endif()
      endforeach()
      if(NOT ok)
        file(RELATIVE_PATH where ${SOURCE_DIR} ${source})
        string(APPEND faults "\n  ${where} includes \"${path}\"")
      endif()
    endforeach()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "Includes against the direction between folders:${faults}")
endif()
