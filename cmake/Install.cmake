# cmake --install and cpack: two components from the one build, each a Debian package.
#
#   batch   -> mervale-batch: the batch program, the program folder PREFIX/share/mervale
#              (profiles, the sample SQL Library, help), its manual page and bash completion;
#              no Qt, so a server can have it without a desktop stack.
#   desktop -> mervale: the desktop program, its desktop entry, the "Mervale Config" type for
#              .mvl files, its icon and manual page; depends on mervale-batch.
#
# scripts/build-deb.sh builds both packages with Debian's hardening flags and runs lintian.
include(GNUInstallDirs)

set(MERVALE_DATA_DIR "${CMAKE_INSTALL_DATADIR}/mervale")
set(MERVALE_MAN_DIR "${PROJECT_BINARY_DIR}/man")

# Manual pages and the changelog are installed compressed, as Debian keeps them; gzip -n
# leaves out the time stamp, so the same sources give the same bytes.
set(MERVALE_COMPRESSED)
function(mervale_gzip source output)
  add_custom_command(
    OUTPUT "${output}"
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2.new\" && mv \"$2.new\" \"$2\"" sh "${source}" "${output}"
    DEPENDS "${source}"
    VERBATIM)
  set(MERVALE_COMPRESSED ${MERVALE_COMPRESSED} "${output}" PARENT_SCOPE)
endfunction()

set(MERVALE_MAN_PAGES "${PROJECT_SOURCE_DIR}/apps/batch/mervale-batch.1")
if(MERVALE_DESKTOP)
  list(APPEND MERVALE_MAN_PAGES "${PROJECT_SOURCE_DIR}/apps/desktop/mervale.1")
endif()
foreach(page IN LISTS MERVALE_MAN_PAGES)
  get_filename_component(name "${page}" NAME)
  configure_file("${page}" "${MERVALE_MAN_DIR}/${name}" @ONLY)
  mervale_gzip("${MERVALE_MAN_DIR}/${name}" "${MERVALE_MAN_DIR}/${name}.gz")
endforeach()
mervale_gzip("${PROJECT_SOURCE_DIR}/packaging/changelog" "${MERVALE_MAN_DIR}/changelog.gz")
add_custom_target(compressed_docs ALL DEPENDS ${MERVALE_COMPRESSED})

# The batch program and everything the program folder ships.
install(TARGETS mervale-batch RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT batch)
install(FILES ${MERVALE_SHIPPED_PROFILES} DESTINATION "${MERVALE_DATA_DIR}" COMPONENT batch)
install(FILES ${MERVALE_SQL_LIBRARY_SAMPLES} DESTINATION "${MERVALE_DATA_DIR}/SQL Library" COMPONENT batch)
file(GLOB MERVALE_INSTALLED_HELP CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/apps/desktop/help/*.html")
install(FILES ${MERVALE_INSTALLED_HELP} DESTINATION "${MERVALE_DATA_DIR}/help" COMPONENT batch)
install(FILES "${MERVALE_MAN_DIR}/mervale-batch.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT batch)
# Where bash-completion looks for a command's completion when it is first completed.
install(FILES "${PROJECT_SOURCE_DIR}/apps/batch/mervale-batch.bash"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/bash-completion/completions" RENAME mervale-batch COMPONENT batch)

# The desktop program.
if(MERVALE_DESKTOP)
  set(desktop "${PROJECT_SOURCE_DIR}/apps/desktop")
  install(TARGETS mervale RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}" COMPONENT desktop)
  install(FILES "${desktop}/mervale.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications" COMPONENT desktop)
  install(FILES "${desktop}/mervale-mime.xml" DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages" RENAME mervale.xml
          COMPONENT desktop)
  foreach(size 64 128)
    install(FILES "${PROJECT_SOURCE_DIR}/base/ui/resources/mervale-${size}.png"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps" RENAME mervale.png
            COMPONENT desktop)
  endforeach()
  install(FILES "${MERVALE_MAN_DIR}/mervale.1.gz" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1" COMPONENT desktop)
endif()

# Each package carries the copyright file and the changelog in its own doc folder.
set(MERVALE_COMPONENTS batch)
set(MERVALE_PACKAGE_batch mervale-batch)
if(MERVALE_DESKTOP)
  list(APPEND MERVALE_COMPONENTS desktop)
  set(MERVALE_PACKAGE_desktop mervale)
endif()
foreach(component IN LISTS MERVALE_COMPONENTS)
  set(doc "${CMAKE_INSTALL_DATADIR}/doc/${MERVALE_PACKAGE_${component}}")
  install(FILES "${PROJECT_SOURCE_DIR}/packaging/copyright" "${MERVALE_MAN_DIR}/changelog.gz" DESTINATION "${doc}"
          COMPONENT ${component})
endforeach()

set(CPACK_PACKAGE_NAME mervale)
set(CPACK_PACKAGE_VENDOR "Quillfen")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "Mervale developers <dev@mervale.invalid>")
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${MERVALE_COMPONENTS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE mervale)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
# The libraries the programs link are found by dpkg-shlibdeps, per package, so Qt's appear
# only in mervale's dependencies. The ODBC drivers are run-time choices, offered rather than
# required.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)

# The first line of a description is the summary, the rest the extended description.
set(CPACK_DEBIAN_BATCH_PACKAGE_NAME mervale-batch)
set(CPACK_DEBIAN_BATCH_PACKAGE_DEPENDS "unixodbc")
set(CPACK_DEBIAN_BATCH_PACKAGE_RECOMMENDS "libsqliteodbc, odbc-postgresql, odbc-mariadb")
set(CPACK_DEBIAN_BATCH_DESCRIPTION
    "script a live ODBC database as the SQL that rebuilds it (batch program)
Mervale reads a database through ODBC and writes a SQL script that rebuilds it:
a CREATE TABLE for every table, an INSERT for every row (or comma-separated
values) and a CREATE INDEX for every index, with optional DROP and DELETE
statements, remarks and COMMITs. The SQL dialect it writes comes from a
profile; what it scripts (phases, tables, conditions, letter case) from the
run options, which can be kept in configuration files (.mvl) that run
unattended.
.
This package holds mervale-batch, the command-line program, with the shipped
profiles for SQLite, PostgreSQL and MariaDB, the help pages and the sample
SQL Library. It needs no graphical environment.")

set(CPACK_DEBIAN_DESKTOP_PACKAGE_NAME mervale)
set(CPACK_DEBIAN_DESKTOP_PACKAGE_DEPENDS "mervale-batch (= ${PROJECT_VERSION}), shared-mime-info")
set(CPACK_DEBIAN_DESKTOP_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_DESKTOP_DESCRIPTION
    "script a live ODBC database as the SQL that rebuilds it (desktop program)
Mervale reads a database through ODBC and writes a SQL script that rebuilds it:
tables, rows and indexes, in the SQL dialect of a profile.
.
This package holds mervale, the Qt desktop program: the script appears in
colour as the run writes it, a control panel pauses, resumes, skips a table or
stops the run, and dialogs edit the run options, the data sources and the
profiles. Configuration files (.mvl) open with it from a file manager.")
include(CPack)
