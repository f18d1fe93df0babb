# Installation and packaging: the two programs, the desktop entry, file types,
# icons, manual pages and bash completion; `cpack -G DEB` makes a Debian package.
# Included once at the end of the top-level CMakeLists.txt, after every target.
include(GNUInstallDirs)
# One component, so a test can install it into a private prefix without
# overwriting the install_manifest.txt of a real installation.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME korl)

set(KORL_DIST_DIR ${PROJECT_SOURCE_DIR}/dist)

# "Korl VERSION" for --version, from the project version.
configure_file(${PROJECT_SOURCE_DIR}/cmake/korl_version.h.in ${PROJECT_BINARY_DIR}/generated/korl_version.h @ONLY)
foreach(program korl korlc)
  if(TARGET ${program})
    target_include_directories(${program} PRIVATE ${PROJECT_BINARY_DIR}/generated)
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

if(TARGET korl)
  install(FILES ${KORL_DIST_DIR}/korl.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${KORL_DIST_DIR}/korl.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  install(DIRECTORY ${KORL_DIST_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
  configure_file(${KORL_DIST_DIR}/man/korl.1.in ${PROJECT_BINARY_DIR}/dist/korl.1 @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/dist/korl.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

if(TARGET korlc)
  install(FILES ${KORL_DIST_DIR}/korlc.bash DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
          RENAME korlc)
  # korlc's page lists the commands the built program has: written at install
  # time from its help texts.
  install(CODE "
    set(korl_mandir \"${CMAKE_INSTALL_MANDIR}\")
    if(NOT IS_ABSOLUTE \"\${korl_mandir}\")
      set(korl_mandir \"\${CMAKE_INSTALL_PREFIX}/\${korl_mandir}\")
    endif()
    set(korl_page \"\$ENV{DESTDIR}\${korl_mandir}/man1/korlc.1\")
    message(STATUS \"Installing: \${korl_page}\")
    execute_process(COMMAND \"${CMAKE_COMMAND}\"
                            \"-DKORLC=$<TARGET_FILE:korlc>\"
                            \"-DTEMPLATE=${KORL_DIST_DIR}/man/korlc.1.in\"
                            \"-DOUTPUT=\${korl_page}\"
                            \"-DKORL_VERSION=${PROJECT_VERSION}\"
                            -P \"${PROJECT_SOURCE_DIR}/cmake/KorlManPage.cmake\"
                    RESULT_VARIABLE korl_rc)
    if(NOT korl_rc EQUAL 0)
      message(FATAL_ERROR \"korlc.1 could not be written\")
    endif()
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${korl_page}\")
  ")
endif()

# A direct install (not a package's staging tree) refreshes the desktop's
# databases below the prefix, so the file types and the menu entry take effect
# at once; the Debian package leaves that to dpkg's triggers.
if(TARGET korl)
  install(CODE "
    set(korl_datadir \"${CMAKE_INSTALL_DATADIR}\")
    if(NOT IS_ABSOLUTE \"\${korl_datadir}\")
      set(korl_datadir \"\${CMAKE_INSTALL_PREFIX}/\${korl_datadir}\")
    endif()
    if(\"\$ENV{DESTDIR}\" STREQUAL \"\")
      find_program(KORL_UPDATE_MIME update-mime-database)
      find_program(KORL_UPDATE_DESKTOP update-desktop-database)
      if(KORL_UPDATE_MIME)
        execute_process(COMMAND \"\${KORL_UPDATE_MIME}\" \"\${korl_datadir}/mime\"
                        OUTPUT_QUIET ERROR_QUIET)
      endif()
      if(KORL_UPDATE_DESKTOP)
        execute_process(COMMAND \"\${KORL_UPDATE_DESKTOP}\" -q
                                \"\${korl_datadir}/applications\"
                        OUTPUT_QUIET ERROR_QUIET)
      endif()
    endif()
  ")
endif()

add_subdirectory(tests/install)

# Debian package: `cpack -G DEB` in the build folder (of a build with windows).
if(NOT TARGET korl)
  return()
endif()
set(CPACK_PACKAGE_NAME korl)
set(CPACK_PACKAGE_VENDOR "Korl")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "IDE for SystemC hardware models")
set(CPACK_PACKAGE_DESCRIPTION
    "Korl edits, builds and debugs SystemC hardware models and shows their waveforms.\n"
    "Projects of C++/SystemC sources are built with make and g++ against the\n"
    "installed SystemC library and run under gdb with breakpoints, stepping and\n"
    "watches that decode SystemC values. Korl's own SystemC scanner fills a Design\n"
    "Browser and a Source Browser, and its waveform viewer shows the value change\n"
    "dump the simulation writes. korlc runs the same tools without windows.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_GENERATOR DEB)
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};korl;/")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(KORL_PACKAGE_MAINTAINER "Korl developers <korl@localhost>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${KORL_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The libraries the two programs link with (the versions dpkg-shlibdeps finds
# for a build on Debian 12, written out so that packaging stays quick and the
# same on every machine), and what the designs Korl builds and debugs need.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.34), libstdc++6 (>= 11), libgcc-s1 (>= 3.0), libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), "
    "libqt6widgets6 (>= 6.4), libqt6printsupport6 (>= 6.4), libqscintilla2-qt6-15 (>= 2.13), "
    "make, g++, gdb, libsystemc-dev, pkg-config")
string(REPLACE ";" "" CPACK_DEBIAN_PACKAGE_DEPENDS "${CPACK_DEBIAN_PACKAGE_DEPENDS}")
include(CPack)
