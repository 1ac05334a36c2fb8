# Installation, desktop integration and the Debian package (included by the top-level
# CMakeLists.txt). Every destination is relative to the installation prefix, so that
# "cmake --install --prefix" and DESTDIR place the whole tree.
#
# The 48 px icon is made from the SVG and kept in the repository:
#   rsvg-convert -w 48 -h 48 packaging/icons/norvax.svg -o packaging/icons/norvax-48.png

set(NORVAX_APP_ID org.norvax.norvax)
set(NORVAX_RELEASE_DATE 2026-12-08)
set(NORVAX_SCREENSHOT_URL "https://norvax.example/screenshots" CACHE STRING
  "Where the pictures named by the AppStream metainfo are published")
set(packaging ${CMAKE_SOURCE_DIR}/packaging)

install(TARGETS norvax norvaxctl norvax-connect RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Read-only: the program finds it there through NORVAX_DATA_DIR_FROM_BIN.
install(FILES ${CMAKE_SOURCE_DIR}/resources/NORVAX.HLP
  DESTINATION ${CMAKE_INSTALL_DATADIR}/norvax)

# The menu entry. KWin lets a program type (fake input) when an entry whose Exec is the
# program's absolute path names the interface in X-KDE-Wayland-Interfaces: the path is set
# when installing, under the prefix installed to (the package's /usr too). norvaxctl, which
# any program of the session could have type, gets no such entry: the user gives it one
# with "norvaxctl grant-typing".
install(CODE "
  set(NORVAX_BIN_DIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  configure_file(${packaging}/${NORVAX_APP_ID}.desktop.in
    ${CMAKE_BINARY_DIR}/installed/${NORVAX_APP_ID}.desktop @ONLY)
  file(INSTALL ${CMAKE_BINARY_DIR}/installed/${NORVAX_APP_ID}.desktop
    DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications\")")
configure_file(${packaging}/${NORVAX_APP_ID}.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/${NORVAX_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${NORVAX_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging}/icons/norvax.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${packaging}/icons/norvax-48.png RENAME norvax.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)

# The GNOME Shell extension that gives NORVAX the window list, in both formats: GNOME 43 and 44
# load a script with imports, 45 and later an ES module. One service body goes into both.
# The extension serves only the programs its file `programs` names: those of the build folder
# there, the installed ones (under the prefix installed to) in the installed tree.
set(NORVAX_GNOME_EXTENSIONS_DIR ${CMAKE_BINARY_DIR}/gnome-shell/extensions)
set(gnome_shell ${packaging}/gnome-shell)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${gnome_shell}/windows-service.js)
file(READ ${gnome_shell}/windows-service.js NORVAX_WINDOWS_SERVICE)
foreach(format "" "-legacy")
  set(uuid norvax-windows${format}@norvax.org)
  configure_file(${gnome_shell}/extension${format}.js.in
    ${NORVAX_GNOME_EXTENSIONS_DIR}/${uuid}/extension.js @ONLY)
  configure_file(${gnome_shell}/metadata${format}.json
    ${NORVAX_GNOME_EXTENSIONS_DIR}/${uuid}/metadata.json COPYONLY)
  file(GENERATE OUTPUT ${NORVAX_GNOME_EXTENSIONS_DIR}/${uuid}/programs
    CONTENT "$<TARGET_FILE:norvax>\n$<TARGET_FILE:norvaxctl>\n")
  install(DIRECTORY ${NORVAX_GNOME_EXTENSIONS_DIR}/${uuid}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions PATTERN programs EXCLUDE)
  install(CODE "
    set(bin \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(WRITE ${CMAKE_BINARY_DIR}/installed/${uuid}/programs \"\${bin}/norvax\\n\${bin}/norvaxctl\\n\")
    file(INSTALL ${CMAKE_BINARY_DIR}/installed/${uuid}/programs DESTINATION
      \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/gnome-shell/extensions/${uuid}\")")
endforeach()

install(FILES ${packaging}/man/norvax.1 ${packaging}/man/norvaxctl.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging}/completion/norvaxctl.bash RENAME norvaxctl
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
# Debian's zsh reads packaged completions from /usr/share/zsh/vendor-completions and local
# ones from /usr/local/share/zsh/site-functions.
if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
  set(zsh_completions ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
else()
  set(zsh_completions ${CMAKE_INSTALL_DATADIR}/zsh/site-functions)
endif()
install(FILES ${packaging}/completion/_norvaxctl DESTINATION ${zsh_completions})

# The Debian package: norvax_<version>_<architecture>.deb. dpkg-shlibdeps finds the
# libraries' packages (Qt 6, X11, XTest, XRes); the rest is what the program loads or
# starts by name.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norvax)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "NORVAX maintainers <maintainers@norvax.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "dial-up login helper with connection cost accounting")
set(CPACK_PACKAGE_DESCRIPTION "\
NORVAX keeps dial-up login entries and launches them with a double click: it
dials the connection (redialling a busy line) and starts the browser. It types
IDs and passwords into login dialogs and logs every call with its charges,
which a log viewer and monthly totals show. The user interface is Japanese.
.
norvaxctl, the command line companion, lists and edits entries, shows and
archives the connection log and types text into other windows.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Japanese font the windows are drawn with, and Qt's Japanese texts (qtbase_ja).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, qt6-translations-l10n")
# A browser command that cannot be started is handed to xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_STRIP_FILES ON)
include(CPack)
