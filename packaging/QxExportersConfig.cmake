# find_package(QxExporters): the public record layouts and the exporters' libraries.
#   QxExporters::headers   include <qx/host_records.h>
#   QxExporters::vellum, QxExporters::vellum_x, QxExporters::kestrel, QxExporters::tamarack
#                          the library to link for excel_file, excel_file_auto or
#                          export_to_excel (with the headers); link one of vellum and kestrel,
#                          which both export excel_file
#   QxExporters_INCLUDE_DIR, QxExporters_LIBRARY_DIR, QxExporters_LANGUAGE_FILE
# Relocatable: every path is taken from where this file lies (lib/cmake/QxExporters/).
get_filename_component(_qx_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
set(QxExporters_INCLUDE_DIR "${_qx_prefix}/include/qx-exporters")
set(QxExporters_LIBRARY_DIR "${_qx_prefix}/lib/qx-exporters")
set(QxExporters_LANGUAGE_FILE "${_qx_prefix}/share/qx-exporters/lang/pinebrook_exe.txt")

if(NOT TARGET QxExporters::headers)
  add_library(QxExporters::headers INTERFACE IMPORTED)
  set_target_properties(QxExporters::headers PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${QxExporters_INCLUDE_DIR}")
  foreach(_qx_library vellum vellum_x kestrel tamarack)
    if(EXISTS "${QxExporters_LIBRARY_DIR}/lib${_qx_library}.so")
      add_library(QxExporters::${_qx_library} SHARED IMPORTED)
      # The libraries are plugins without a soname: linked by name, found through the rpath.
      set_target_properties(QxExporters::${_qx_library} PROPERTIES
        IMPORTED_LOCATION "${QxExporters_LIBRARY_DIR}/lib${_qx_library}.so"
        IMPORTED_NO_SONAME TRUE
        INTERFACE_LINK_LIBRARIES QxExporters::headers
        INTERFACE_LINK_OPTIONS "LINKER:-rpath,${QxExporters_LIBRARY_DIR}")
    endif()
  endforeach()
endif()
unset(_qx_library)
unset(_qx_prefix)
set(QxExporters_FOUND TRUE)
