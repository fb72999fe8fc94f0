# What `cmake --install` places, and the Debian package built from it (`./run package`).
# Included at the end of the top CMakeLists.txt, when every target exists.
#
#   bin/                                  the programs
#   lib/<multiarch>/opos/                 service-object libraries and the shared platform
#   lib/python3/dist-packages/opos/       the Python module
#   share/opos/                           data the programs read (device information files, logo)
#   share/doc/opos-tandor/                docs, copyright, changelog
#   share/applications, share/icons       the four window programs
#   share/man/man1                        a page for each program, made from its --help
#   lib/udev/rules.d, lib/systemd/system  device names and group access, the device service
#
# Every path is relative to the install prefix, and the programs find the libraries through
# a RUNPATH relative to $ORIGIN, so an installed tree works from any prefix (the package
# test runs it from a temporary folder).
include(GNUInstallDirs)

set(OPOS_PACKAGE_NAME opos-tandor)
file(STRINGS ${PROJECT_SOURCE_DIR}/platform/include/platform/release.h opos_release_line
     REGEX "kReleaseVersion")
string(REGEX MATCH "\"([0-9.]+)\"" opos_release_match "${opos_release_line}")
set(OPOS_RELEASE_VERSION ${CMAKE_MATCH_1})

# Debian's multiarch folder even when the prefix is not /usr (GNUInstallDirs uses it only
# for /usr).
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(OPOS_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
  set(OPOS_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR})
endif()
set(OPOS_INSTALL_PRIVATE_LIBDIR ${OPOS_INSTALL_LIBDIR}/opos)
set(OPOS_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/opos)
set(OPOS_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/${OPOS_PACKAGE_NAME})
set(OPOS_INSTALL_PYTHONDIR lib/python3/dist-packages/opos)
set(OPOS_UDEV_RULES_DIR lib/udev/rules.d CACHE STRING "udev rules folder, relative to the prefix")
set(OPOS_SYSTEMD_UNIT_DIR lib/systemd/system CACHE STRING
    "systemd system unit folder, relative to the prefix")
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# opos_runpath_to_libraries(VAR FOLDER): the RUNPATH that leads from FOLDER (relative to the
# prefix) to the private library folder.
function(opos_runpath_to_libraries var folder)
  file(RELATIVE_PATH relative /prefix/${folder} /prefix/${OPOS_INSTALL_PRIVATE_LIBDIR})
  if(relative STREQUAL "")
    set(${var} "$ORIGIN" PARENT_SCOPE)
  else()
    set(${var} "$ORIGIN/${relative}" PARENT_SCOPE)
  endif()
endfunction()

# Programs.
set(opos_programs oposreg opostest vprinter vdisplay Confix DemoTill Flashwise Imprex)
if(TARGET oposd)
  list(APPEND opos_programs oposd)
endif()
opos_runpath_to_libraries(opos_program_runpath ${CMAKE_INSTALL_BINDIR})
set_target_properties(${opos_programs} PROPERTIES INSTALL_RPATH "${opos_program_runpath}")
install(TARGETS ${opos_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Libraries: the service objects, the firmware upload control (all created by ProgID through
# the registry), and the platform and control-object libraries the programs link. Private
# to this package, so unversioned, in a folder of their own.
set(opos_service_libraries Tandor_POSPrinterSO Tandor_POSPrinterSON Tandor_POSPrinterSOU
                           OrvelDisplaySO FlashwiseControl)
set(opos_libraries ${opos_service_libraries} opos_platform opos_control)
set_target_properties(${opos_libraries} PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS ${opos_libraries} LIBRARY DESTINATION ${OPOS_INSTALL_PRIVATE_LIBDIR})

# The file names the maintainer scripts register.
set(OPOS_PACKAGE_LIBRARIES "")
foreach(library ${opos_service_libraries})
  get_target_property(prefix ${library} PREFIX)
  if(NOT prefix AND NOT prefix STREQUAL "")
    set(prefix ${CMAKE_SHARED_LIBRARY_PREFIX})
  endif()
  list(APPEND OPOS_PACKAGE_LIBRARIES ${prefix}${library}${CMAKE_SHARED_LIBRARY_SUFFIX})
endforeach()
list(JOIN OPOS_PACKAGE_LIBRARIES " " OPOS_PACKAGE_LIBRARIES)

# The Python module: its package folder as the build leaves it, with the extension's RUNPATH
# pointing at the private libraries.
if(TARGET opos_python)
  opos_runpath_to_libraries(opos_python_runpath ${OPOS_INSTALL_PYTHONDIR})
  set_target_properties(opos_python PROPERTIES INSTALL_RPATH "${opos_python_runpath}")
  install(TARGETS opos_python LIBRARY DESTINATION ${OPOS_INSTALL_PYTHONDIR})
  install(DIRECTORY ${CMAKE_BINARY_DIR}/python/opos/ DESTINATION ${OPOS_INSTALL_PYTHONDIR}
          FILES_MATCHING PATTERN "*.py" PATTERN "*.pyi" PATTERN "py.typed"
          PATTERN "__pycache__" EXCLUDE)
endif()

# Data the programs look for beside themselves or, installed, in share/opos.
file(GLOB opos_inf_files ${PROJECT_SOURCE_DIR}/setup_utility/inf/*.inf)
install(FILES ${opos_inf_files} DESTINATION ${OPOS_INSTALL_DATADIR}/inf)
install(FILES ${PROJECT_SOURCE_DIR}/sample_app/Logo.bmp DESTINATION ${OPOS_INSTALL_DATADIR})

# Documentation.
file(GLOB opos_docs ${PROJECT_SOURCE_DIR}/docs/*.md)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${opos_docs} DESTINATION ${OPOS_INSTALL_DOCDIR})
file(GLOB opos_example_entries ${PROJECT_SOURCE_DIR}/*/examples/*.reg)
install(FILES ${opos_example_entries} DESTINATION ${OPOS_INSTALL_DOCDIR}/examples)
set(opos_package_dir ${PROJECT_SOURCE_DIR}/packaging)
set(opos_generated ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${opos_generated})
set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${opos_package_dir}/debian/changelog)
execute_process(COMMAND gzip -9nc ${opos_package_dir}/debian/changelog
                OUTPUT_FILE ${opos_generated}/changelog.Debian.gz)
install(FILES ${opos_package_dir}/debian/copyright ${opos_generated}/changelog.Debian.gz
        DESTINATION ${OPOS_INSTALL_DOCDIR})

# The window programs in the desktop's menus.
file(GLOB opos_desktop_files ${opos_package_dir}/desktop/*.desktop)
file(GLOB opos_icons ${opos_package_dir}/icons/*.svg)
install(FILES ${opos_desktop_files} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${opos_icons} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# Manual pages from each program's --help (help2man), made after the program is built. The
# package is made from the plain build; the sanitizer builds run no program while building.
find_program(HELP2MAN help2man)
if(HELP2MAN AND NOT OPOS_ASAN AND NOT OPOS_TSAN AND NOT OPOS_FUZZ)
  file(STRINGS ${opos_package_dir}/man-names.txt opos_man_names)
  set(opos_man_pages "")
  foreach(program ${opos_programs})
    set(description "")
    foreach(line ${opos_man_names})
      if(line MATCHES "^${program} (.*)$")
        set(description "${CMAKE_MATCH_1}")
      endif()
    endforeach()
    set(page ${opos_generated}/man/${program}.1.gz)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${opos_generated}/man
      COMMAND ${opos_package_dir}/man_page.sh $<TARGET_FILE:${program}> ${OPOS_RELEASE_VERSION}
              "${description}" ${page}
      DEPENDS ${program} ${opos_package_dir}/man_page.sh ${opos_package_dir}/man-names.txt
      COMMENT "Manual page of ${program}" VERBATIM)
    list(APPEND opos_man_pages ${page})
  endforeach()
  add_custom_target(opos_man_pages ALL DEPENDS ${opos_man_pages})
  install(FILES ${opos_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
elseif(NOT HELP2MAN)
  message(STATUS "help2man not found: no manual pages (apt-get install help2man)")
endif()

# Device names and group access; the device service.
install(FILES ${opos_package_dir}/udev/60-opos.rules DESTINATION ${OPOS_UDEV_RULES_DIR})
if(TARGET oposd)
  install(FILES ${opos_package_dir}/systemd/oposd.service ${opos_package_dir}/systemd/oposd.socket
          DESTINATION ${OPOS_SYSTEMD_UNIT_DIR})
endif()

# The Debian package: `cpack` in the build folder (./run package) installs the built tree
# under /usr into a staging folder and packs it, without compiling anything.
set(OPOS_PACKAGE_PREFIX /usr)
set(OPOS_PACKAGE_BINDIR ${OPOS_PACKAGE_PREFIX}/${CMAKE_INSTALL_BINDIR})
set(OPOS_PACKAGE_LIBDIR ${OPOS_PACKAGE_PREFIX}/${OPOS_INSTALL_PRIVATE_LIBDIR})
file(READ ${opos_package_dir}/debian/maintscript-common.sh OPOS_MAINTSCRIPT_COMMON)
string(CONFIGURE "${OPOS_MAINTSCRIPT_COMMON}" OPOS_MAINTSCRIPT_COMMON @ONLY)
foreach(script postinst prerm postrm)
  configure_file(${opos_package_dir}/debian/${script}.in ${opos_generated}/debian/${script} @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                  WORLD_READ WORLD_EXECUTE)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${OPOS_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${OPOS_RELEASE_VERSION})
set(CPACK_PACKAGE_CONTACT "Seed maintainers <maintainers@users.noreply.c-seed-04b995c2.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${OPOS_PACKAGE_PREFIX})
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "OPOS service objects for ESC/POS receipt printers")
# The synopsis line comes from the summary.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "OPOS-style device drivers for receipt printers with a cash drawer on the
kick connector (serial, TCP and USB links) and for a 2 x 20 customer line
display, with the OPOS control objects, the device tester, the setup
utility, a sample till, the firmware and logo tools, and virtual devices
for trying them without hardware.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${opos_generated}/debian/postinst ${opos_generated}/debian/prerm ${opos_generated}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
if(TARGET opos_python)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3")
endif()
include(CPack)
