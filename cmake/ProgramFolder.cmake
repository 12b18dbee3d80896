# Lays out a working program folder beside the executables, so that the built program runs
# in place: the shipped profiles (*.pfl), ${MERVALE_PROGRAM_FOLDER}/SQL Library/ and the demo
# in ${MERVALE_PROGRAM_FOLDER}/demo/.
# Everything here is rebuilt by the target `demo`, which is part of ALL.

set(MERVALE_PROGRAM_FOLDER "${CMAKE_BINARY_DIR}")
set(MERVALE_DEMO_DIR "${MERVALE_PROGRAM_FOLDER}/demo")
set(MERVALE_DEMO_DB "${MERVALE_DEMO_DIR}/demo.db")

find_program(MERVALE_SQLITE3 sqlite3)
if(NOT MERVALE_SQLITE3)
  message(FATAL_ERROR
    "The sqlite3 command-line tool is needed to build the demo database; "
    "install it with scripts/install-deps.sh (Debian package sqlite3).")
endif()

# Built into a temporary file and renamed, so a failing demo.sql never leaves a half-built
# database where the last good one was, and a rebuild never appends to an old one.
add_custom_command(
  OUTPUT "${MERVALE_DEMO_DB}"
  COMMAND "${CMAKE_COMMAND}" -E make_directory "${MERVALE_DEMO_DIR}"
  COMMAND "${CMAKE_COMMAND}" -E rm -f "${MERVALE_DEMO_DB}" "${MERVALE_DEMO_DB}.new"
  COMMAND "${MERVALE_SQLITE3}" -bail "${MERVALE_DEMO_DB}.new"
          ".read \"${PROJECT_SOURCE_DIR}/examples/demo.sql\""
  COMMAND "${CMAKE_COMMAND}" -E rename "${MERVALE_DEMO_DB}.new" "${MERVALE_DEMO_DB}"
  DEPENDS "${PROJECT_SOURCE_DIR}/examples/demo.sql"
  COMMENT "Building the demo database demo/demo.db"
  VERBATIM)

# The demo configuration names the database by its absolute path: a driver-only connect
# string needs no DSN set-up.
set(DEMO_DB "${MERVALE_DEMO_DB}")
configure_file("${PROJECT_SOURCE_DIR}/examples/demo.mvl" "${MERVALE_DEMO_DIR}/demo.mvl" @ONLY)
unset(DEMO_DB)

add_custom_target(demo ALL DEPENDS "${MERVALE_DEMO_DB}")

# Hook for everything the program folder ships: copies FILES into
# ${MERVALE_PROGRAM_FOLDER}/<DESTINATION> whenever they change, as part of `demo`.
# NAME names the step (one custom target per call, so it can be called from any directory).
# Shipped profiles (*.pfl) and help go in through this, with DESTINATION ".".
function(mervale_ship_to_program_folder NAME)
  cmake_parse_arguments(PARSE_ARGV 1 SHIP "" "DESTINATION" "FILES")
  set(dest_dir "${MERVALE_PROGRAM_FOLDER}/${SHIP_DESTINATION}")
  set(outputs)
  foreach(file IN LISTS SHIP_FILES)
    get_filename_component(name "${file}" NAME)
    add_custom_command(
      OUTPUT "${dest_dir}/${name}"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${dest_dir}"
      COMMAND "${CMAKE_COMMAND}" -E copy_if_different "${file}" "${dest_dir}/${name}"
      DEPENDS "${file}"
      VERBATIM)
    list(APPEND outputs "${dest_dir}/${name}")
  endforeach()
  add_custom_target(program_folder_${NAME} DEPENDS ${outputs})
  add_dependencies(demo program_folder_${NAME})
endfunction()

# The sample SQL Library: the default library folder is "SQL Library" in the program folder.
file(GLOB MERVALE_SQL_LIBRARY_SAMPLES CONFIGURE_DEPENDS
  "${PROJECT_SOURCE_DIR}/examples/sql-library/*.sql")
mervale_ship_to_program_folder(sql_library
  DESTINATION "SQL Library"
  FILES ${MERVALE_SQL_LIBRARY_SAMPLES})

# Shipped profiles: generated from their readable sources (profiles/shipped/NAME.profile)
# into NAME.pfl by mervale-mkprofile, which writes each file atomically and reads it back.
file(GLOB MERVALE_PROFILE_SOURCES CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/profiles/shipped/*.profile")
set(MERVALE_SHIPPED_PROFILES)
foreach(source IN LISTS MERVALE_PROFILE_SOURCES)
  get_filename_component(name "${source}" NAME_WE)
  set(pfl "${MERVALE_PROGRAM_FOLDER}/${name}.pfl")
  add_custom_command(
    OUTPUT "${pfl}"
    COMMAND mervale-mkprofile "${MERVALE_PROGRAM_FOLDER}" "${source}"
    DEPENDS "${source}" mervale-mkprofile
    COMMENT "Generating the shipped profile ${name}.pfl"
    VERBATIM)
  list(APPEND MERVALE_SHIPPED_PROFILES "${pfl}")
endforeach()
add_custom_target(program_folder_profiles DEPENDS ${MERVALE_SHIPPED_PROFILES})
add_dependencies(demo program_folder_profiles)
