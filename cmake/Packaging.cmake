# Installation (cmake --install) and the Debian package (cpack -G DEB, through
# scripts/package.sh): the executables, the example scene, the references and
# the manual pages, and the GNOME Shell extension the helper needs in a GNOME
# Wayland session (enabled by each user: gnome-extensions enable).
include(GNUInstallDirs)

# Packaging follows a build (scripts/package.sh builds first); it does not start one.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(MORVEL_PACKAGE_NAME morvel-ax-helper)
set(MORVEL_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${MORVEL_PACKAGE_NAME})

install(TARGETS morvel_ax_sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET morvel_ax_helper)
  install(TARGETS morvel_ax_helper morvel_ax_record RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES platform/linux/gnome/extension/metadata.json platform/linux/gnome/extension/extension.js
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/gnome-shell/extensions/morvel-ax-helper@morvel.org)
install(FILES README.md docs/protocol.md docs/scene-format.md DESTINATION ${MORVEL_DOC_DIR})
install(FILES examples/contacts.json examples/recorded-contacts-app.json DESTINATION ${MORVEL_DOC_DIR}/examples)

# Manual pages are installed compressed, as Debian keeps them.
find_program(GZIP_EXECUTABLE gzip REQUIRED)
set(compressed_pages)
foreach(page morvel_ax_helper.1 morvel_ax_record.1 morvel_ax_sim.1)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page})
  set(compressed ${PROJECT_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${GZIP_EXECUTABLE} -9nc ${source} > ${compressed}
    DEPENDS ${source} VERBATIM)
  list(APPEND compressed_pages ${compressed})
endforeach()
add_custom_target(morvel_man_pages ALL DEPENDS ${compressed_pages})
install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${MORVEL_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "morvel_ax_helper developers <morvel-ax-helper@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "look into the user interface of the frontmost application")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "A long-running helper that lets automation tools and AI agents read the
accessibility tree of the application in front, the text on its screen (OCR)
and digests that tell whether a window changed. JSON requests and replies one
per line on standard input and output, or a Model Context Protocol server
with --mcp. morvel_ax_sim serves the same protocol over a simulated desktop;
morvel_ax_record records the application in front as a scene it replays.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)
# Shared libraries by dpkg-shlibdeps; what is used at run time without being
# linked: the English recognition data, the Latin script's model that the
# default languages read accents with, and the accessibility bus; the data of
# the five Western European languages whose word lists check accented lines
# (without them accented text loses 3 % of its characters instead of 2 %).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "tesseract-ocr-eng, tesseract-ocr-script-latn, at-spi2-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-shell (>= 43)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "tesseract-ocr-deu, tesseract-ocr-fra, tesseract-ocr-spa, tesseract-ocr-ita, tesseract-ocr-por")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
