# Fails when an #include runs against the layers: a folder may include its own headers and those
# of the folders listed for it below, nothing else. Prints every offending line.
#   cmake -DSOURCE_DIR=<source root> -P CheckLayers.cmake
# Tests and benchmarks stand on top of everything and are not checked.
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED SOURCE_DIR)
  message(FATAL_ERROR "CheckLayers: SOURCE_DIR is not set")
endif()

# The layers from the bottom up; a layer may be a folder inside another (engine/save). The
# engine stands beside the transports: its save below everything of its own, the package and
# the workbook model over it, and only the objects above the model speak the automation
# layer's types. The exporters reach the sheet only through the report layer, never the
# automation layer under it, and never include one another; the host reads the records'
# layouts and converts code pages, and reaches the exporters only by loading them.
set(allowed_include "")
set(allowed_platform include)
set(allowed_automation platform)
set(allowed_engine/save "")
set(allowed_engine/package engine/save)
set(allowed_engine/objects engine/package engine/save automation platform)
set(allowed_report automation platform)
set(allowed_heron report platform include)
set(allowed_vellum report platform include)
set(allowed_kestrel report platform include)
set(allowed_tamarack report platform include)
set(allowed_host platform include)
set(layers include platform automation engine/save engine/package engine/objects report heron
  vellum kestrel tamarack host)

set(offences 0)
foreach(layer ${layers})
  file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${layer}/*.h"
    "${SOURCE_DIR}/${layer}/*.cpp")
  list(SORT sources)
  foreach(source ${sources})
    file(STRINGS "${SOURCE_DIR}/${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${lines})
      if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/(([^\"/]+)/)?")
        continue()  # a neighbour without a folder: the same layer
      endif()
      set(target ${CMAKE_MATCH_1})
      if(CMAKE_MATCH_3 AND "${target}/${CMAKE_MATCH_3}" IN_LIST layers)
        set(target ${target}/${CMAKE_MATCH_3})
      endif()
      if(target STREQUAL layer OR target IN_LIST allowed_${layer})
        continue()
      endif()
      string(STRIP "${line}" line)
      string(JOIN " " may ${layer} ${allowed_${layer}})
      message(NOTICE "${source}: ${line}    (${layer} may include only: ${may})")
      math(EXPR offences "${offences} + 1")
    endforeach()
  endforeach()
endforeach()

# A folder split into layers holds its sources in them, where the check sees them.
foreach(layer ${layers})
  if(NOT layer MATCHES "^(.+)/[^/]+$")
    continue()
  endif()
  set(parent ${CMAKE_MATCH_1})
  file(GLOB loose RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${parent}/*.h"
    "${SOURCE_DIR}/${parent}/*.cpp")
  list(SORT loose)
  list(REMOVE_ITEM loose ${reported_loose})
  foreach(source ${loose})
    message(NOTICE "${source}: outside the layers of ${parent}/ (a file belongs in one of them)")
    math(EXPR offences "${offences} + 1")
  endforeach()
  list(APPEND reported_loose ${loose})
endforeach()

if(offences GREATER 0)
  message(FATAL_ERROR "${offences} offence(s) against the layers")
endif()
message(STATUS "Layers: every include runs downwards")
