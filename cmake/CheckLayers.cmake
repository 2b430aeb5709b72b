# Fails when an #include runs against the layers: a folder may include its own headers and those
# of the folders listed for it below, nothing else. Prints every offending line.
#   cmake -DSOURCE_DIR=<source root> -P CheckLayers.cmake
# Tests and benchmarks stand on top of everything and are not checked.
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED SOURCE_DIR)
  message(FATAL_ERROR "CheckLayers: SOURCE_DIR is not set")
endif()

# The layers from the bottom up. The engine stands beside the transports; the exporters reach
# the sheet only through the report layer, never the automation layer under it, and never
# include one another; the host reads the records' layouts and converts code pages, and
# reaches the exporters only by loading them.
set(allowed_include "")
set(allowed_platform include)
set(allowed_automation platform)
set(allowed_engine automation platform)
set(allowed_report automation platform)
set(allowed_heron report platform include)
set(allowed_vellum report platform include)
set(allowed_kestrel report platform include)
set(allowed_tamarack report platform include)
set(allowed_host platform include)
set(layers include platform automation engine report heron vellum kestrel tamarack host)

set(offences 0)
foreach(layer ${layers})
  file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${layer}/*.h"
    "${SOURCE_DIR}/${layer}/*.cpp")
  list(SORT sources)
  foreach(source ${sources})
    file(STRINGS "${SOURCE_DIR}/${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line ${lines})
      if(NOT line MATCHES "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/")
        continue()  # a neighbour without a folder: the same layer
      endif()
      set(target ${CMAKE_MATCH_1})
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

if(offences GREATER 0)
  message(FATAL_ERROR "${offences} include(s) against the layers")
endif()
message(STATUS "Layers: every include runs downwards")
