# Installs Kestrun as a desktop application: the executable and its keyboard
# guardian (in libexec), its menu entry, AppStream data, icons in the hicolor
# theme, the manual page, and the shared files an installed copy reads (the
# example document, the schema and the keystroke help page). GNUInstallDirs
# is included by the top level.

set(KESTRUN_APPSTREAM_ID "example.quillonworks.Kestrun")
set(KESTRUN_MAINTAINER "Quillon Works Software <support@quillonworks.example>")
set(KESTRUN_SHARED_DIR "${CMAKE_INSTALL_FULL_DATADIR}/kestrun")
execute_process(
  COMMAND date -u -R -d "${KESTRUN_RELEASE_DATE}"
  OUTPUT_VARIABLE KESTRUN_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)

set(generated ${CMAKE_BINARY_DIR}/install)
set(resources ${KESTRUN_SOURCE_ROOT}/resources)
configure_file(${resources}/kestrun.metainfo.xml.in ${generated}/${KESTRUN_APPSTREAM_ID}.metainfo.xml @ONLY)
configure_file(${resources}/kestrun.1.in ${generated}/kestrun.1 @ONLY)
configure_file(${resources}/changelog.in ${generated}/changelog @ONLY)

# Manual pages and changelogs are installed compressed; -n keeps the result
# the same from build to build.
find_program(KESTRUN_GZIP gzip REQUIRED)
foreach(name kestrun.1 changelog)
  add_custom_command(OUTPUT ${generated}/${name}.gz
    COMMAND ${KESTRUN_GZIP} -9 -n -f -k ${generated}/${name}
    DEPENDS ${generated}/${name}
    VERBATIM)
endforeach()
add_custom_target(kestrun_install_files ALL DEPENDS ${generated}/kestrun.1.gz ${generated}/changelog.gz)

install(TARGETS kestrun RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kestrun-keyguard)
  install(TARGETS kestrun-keyguard RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/kestrun)
endif()
# The menu entry names the installed executable by its full path, known only
# when installing (cmake --install --prefix): KWin gives fake input to the
# program whose path an entry's Exec= is.
install(CODE "
  set(KESTRUN_DESKTOP_EXEC \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/kestrun\")
  set(entry \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/kestrun.desktop\")
  message(STATUS \"Installing: \${entry}\")
  configure_file(\"${resources}/kestrun.desktop.in\" \"\${entry}\" @ONLY)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${entry}\")
")
install(FILES ${generated}/${KESTRUN_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 32 48)
  install(FILES ${resources}/kestrun-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME kestrun.png)
endforeach()
install(FILES ${resources}/kestrun.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${resources}/Kestrun.xml ${resources}/Kestrun.xsd ${resources}/KeystrokesHelp.htm
        DESTINATION ${CMAKE_INSTALL_DATADIR}/kestrun)
install(FILES ${generated}/kestrun.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${resources}/copyright ${generated}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kestrun)
