# Installation and the packages.
#
# Windows (a zip): the exporters in bin/ beside the calculation program, the README and the
# pages of docs/ in doc/, the public header and the language file.
#
# Elsewhere (two .deb packages made by CPack), every installed name is the project's, so that
# nothing can clash with another package:
#   qx-exporters      bin/qx_host, lib/qx-exporters/ (the exporters' libraries and heron, where
#                     the host looks for them), share/qx-exporters/lang/ (tamarack's language
#                     file), share/man/man1/qx_host.1.gz, share/doc/qx-exporters/
#   qx-exporters-dev  include/qx-exporters/qx/host_records.h, share/pkgconfig/qx-exporters.pc,
#                     lib/cmake/QxExporters/ (find_package(QxExporters)), the C example
set(qx_doc_dir share/doc/qx-exporters)
set(qx_dev_doc_dir share/doc/qx-exporters-dev)
set(QX_PACKAGE_MAINTAINER "qx exporters maintainers <qx-exporters@qx-exporters.org>" CACHE STRING
  "The maintainer the packages name (Maintainer: of the .deb files)")

if(WIN32)
  foreach(exporter heron vellum vellum_x kestrel tamarack)
    if(TARGET ${exporter})
      install(TARGETS ${exporter} RUNTIME DESTINATION bin COMPONENT runtime
        LIBRARY DESTINATION bin COMPONENT runtime)
    endif()
  endforeach()
  install(FILES README.md docs/reliability.md docs/engine.md docs/report-descriptions.md
    DESTINATION doc COMPONENT runtime)
  install(FILES tamarack/lang/pinebrook_exe.txt DESTINATION share/qx/lang COMPONENT runtime)
  install(FILES include/qx/host_records.h DESTINATION include/qx COMPONENT dev)
else()
  foreach(exporter heron vellum vellum_x kestrel tamarack)
    if(TARGET ${exporter})
      install(TARGETS ${exporter} RUNTIME DESTINATION lib/qx-exporters COMPONENT runtime
        LIBRARY DESTINATION lib/qx-exporters COMPONENT runtime)
    endif()
  endforeach()
  if(TARGET qx_host)
    install(TARGETS qx_host RUNTIME DESTINATION bin COMPONENT runtime)
    # The man page is made from --help, so the two cannot drift.
    find_program(QX_HELP2MAN help2man)
    if(QX_HELP2MAN AND NOT CMAKE_CROSSCOMPILING)
      set(page ${CMAKE_BINARY_DIR}/qx_host.1)
      add_custom_command(OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=1796731200
          ${QX_HELP2MAN} --no-info --section 1
          --name "fill a report template through its exporter, as the calculation program does"
          --output ${page} $<TARGET_FILE:qx_host>
        COMMAND gzip -9nf ${page}
        DEPENDS qx_host ${PROJECT_SOURCE_DIR}/host/command_line.cpp
        VERBATIM)
      add_custom_target(qx_host_man ALL DEPENDS ${page}.gz)
      install(FILES ${page}.gz DESTINATION share/man/man1 COMPONENT runtime)
    else()
      message(STATUS "help2man not found: no man page for qx_host (scripts/bootstrap.sh installs it)")
    endif()
  endif()
  install(FILES tamarack/lang/pinebrook_exe.txt DESTINATION share/qx-exporters/lang
    COMPONENT runtime)
  # Debian wants the changelog compressed at the highest level, without a time stamp, and the
  # copyright in every package's own folder.
  execute_process(COMMAND gzip -9nc ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog
    OUTPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
  install(FILES README.md docs/reliability.md docs/engine.md docs/report-descriptions.md
    docs/demo-vellum.png packaging/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
    DESTINATION ${qx_doc_dir} COMPONENT runtime)
  install(DIRECTORY examples/ DESTINATION ${qx_doc_dir}/examples COMPONENT runtime
    PATTERN "make_examples.py" EXCLUDE PATTERN "c_caller" EXCLUDE)

  install(FILES include/qx/host_records.h DESTINATION include/qx-exporters/qx COMPONENT dev)
  configure_file(packaging/qx-exporters.pc.in ${CMAKE_BINARY_DIR}/qx-exporters.pc @ONLY)
  # The file names no machine's folders (the exporters' folder is the same on every one).
  install(FILES ${CMAKE_BINARY_DIR}/qx-exporters.pc DESTINATION share/pkgconfig COMPONENT dev)
  include(CMakePackageConfigHelpers)
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/QxExportersConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion ARCH_INDEPENDENT)
  install(FILES packaging/QxExportersConfig.cmake ${CMAKE_BINARY_DIR}/QxExportersConfigVersion.cmake
    DESTINATION lib/cmake/QxExporters COMPONENT dev)
  install(FILES packaging/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
    DESTINATION ${qx_dev_doc_dir} COMPONENT dev)
  install(FILES examples/c_caller/fill_report.c DESTINATION ${qx_dev_doc_dir}/examples
    COMPONENT dev)
endif()

set(CPACK_PACKAGE_NAME qx-exporters)
set(CPACK_PACKAGE_VENDOR "qx")
set(qx_summary "Spreadsheet report exporters with an embedded xlsx engine")
set(CPACK_PACKAGE_DESCRIPTION "Report exporters that fill template workbooks (.xlsx) from\n\
the records of an engineering calculation program, with the sample host qx_host\n\
that runs a report described in JSON.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "${QX_PACKAGE_MAINTAINER}")
if(WIN32)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${qx_summary}")
  set(CPACK_GENERATOR ZIP)
else()
  # Each package's description starts with its own summary line (a package summary would be put
  # before both).
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL runtime dev)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME qx-exporters)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION misc)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "${qx_summary}\n\
Report exporters that fill template workbooks (.xlsx) from the records of an\n\
engineering calculation program, with the sample host qx_host that runs a\n\
report described in JSON.")
  # CPack would add ldconfig calls for any library under /usr/lib; these are plugins in a folder
  # of their own, which the linker's cache does not list.
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/packaging/postinst
    ${PROJECT_SOURCE_DIR}/packaging/postrm)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_DEV_PACKAGE_NAME qx-exporters-dev)
  set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "qx-exporters (= ${PROJECT_VERSION})")
  set(CPACK_DEBIAN_DEV_DESCRIPTION "Record layouts and exports of the qx report exporters\n\
The public header with every record's layout and the exports' declarations,\n\
a pkg-config file and a CMake package (find_package(QxExporters)) for\n\
programs that call the exporters, and a caller written in C.")
endif()
include(CPack)
