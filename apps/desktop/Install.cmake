# cmake --install and cpack -G DEB: both programs, and the program folder
# PREFIX/share/mervale (profiles, the sample SQL Library, help), where an installed program
# looks for it; a desktop entry and the "Mervale Config" type for .mvl files.
include(GNUInstallDirs)

set(MERVALE_DATA_DIR "${CMAKE_INSTALL_DATADIR}/mervale")

install(TARGETS mervale mervale-batch RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES ${MERVALE_SHIPPED_PROFILES} DESTINATION "${MERVALE_DATA_DIR}")
install(FILES ${MERVALE_SQL_LIBRARY_SAMPLES} DESTINATION "${MERVALE_DATA_DIR}/SQL Library")
install(FILES ${MERVALE_HELP_PAGES} DESTINATION "${MERVALE_DATA_DIR}/help")
install(FILES "${CMAKE_CURRENT_SOURCE_DIR}/mervale.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${CMAKE_CURRENT_SOURCE_DIR}/mervale-mime.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages"
        RENAME mervale.xml)
foreach(size 64 128)
  install(FILES "${PROJECT_SOURCE_DIR}/base/ui/resources/mervale-${size}.png"
          DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps" RENAME mervale.png)
endforeach()

set(CPACK_PACKAGE_NAME mervale)
set(CPACK_PACKAGE_VENDOR "Quillfen")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Turns a live ODBC database into the SQL script that rebuilds it")
set(CPACK_PACKAGE_CONTACT "Mervale developers <dev@mervale.invalid>")
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
# The libraries the programs link are found by dpkg-shlibdeps; the ODBC drivers are run-time
# choices, offered rather than required.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "unixodbc, shared-mime-info")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsqliteodbc, odbc-postgresql, odbc-mariadb, xdg-utils")
include(CPack)
