# The folders are layers and the build knows them: one static library per layer, each linking
# only the layers under it, and the layer check (scripts/check-layers.sh) as a build step that
# every layer library waits for, so a wrong include fails the build before anything compiles.
# Each layer is also linked whole over the layers under it alone, so that a call into a layer
# above, however it was declared, fails to link.

# Every C++ file the check reads: the stamp is remade when one of them or the check changes.
set(mervale_checked_patterns)
foreach(folder IN ITEMS base profiles settings db run shell apps bench tools devservers tests)
  foreach(ending IN ITEMS h hh hpp c cc cpp cxx inl ipp)
    list(APPEND mervale_checked_patterns "${PROJECT_SOURCE_DIR}/${folder}/*.${ending}")
  endforeach()
endforeach()
file(GLOB_RECURSE mervale_checked_files CONFIGURE_DEPENDS ${mervale_checked_patterns})

set(MERVALE_LAYERS_STAMP "${PROJECT_BINARY_DIR}/layers-checked.stamp")
add_custom_command(
  OUTPUT "${MERVALE_LAYERS_STAMP}"
  COMMAND "${PROJECT_SOURCE_DIR}/scripts/check-layers.sh"
  COMMAND "${CMAKE_COMMAND}" -E touch "${MERVALE_LAYERS_STAMP}"
  DEPENDS ${mervale_checked_files} "${PROJECT_SOURCE_DIR}/scripts/check-layers.sh"
          "${PROJECT_SOURCE_DIR}/scripts/cxx-files.sh"
  COMMENT "Checking that every include points down"
  VERBATIM)
add_custom_target(mervale_layers DEPENDS "${MERVALE_LAYERS_STAMP}")

set(MERVALE_LINK_CHECK_MAIN "${PROJECT_BINARY_DIR}/layer-link-check.cpp")
file(CONFIGURE OUTPUT "${MERVALE_LINK_CHECK_MAIN}" CONTENT "int main() { return 0; }\n")

# mervale_layer(NAME [QT] LINKS libraries...): the library of the layer whose CMakeLists.txt
# calls it, from every .cpp and .h in that folder (not its subfolders), so a new file joins its
# layer by being there. LINKS are the layers under it it uses (and Qt for a ui/ folder's); QT
# turns on moc and rcc, and adds the folder's resources/*.qrc.
function(mervale_layer NAME)
  cmake_parse_arguments(PARSE_ARGV 1 LAYER "QT" "" "LINKS")
  file(GLOB sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  if(LAYER_QT)
    file(GLOB resources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/resources/*.qrc")
    list(APPEND sources ${resources})
  endif()
  add_library(${NAME} STATIC ${sources})
  target_include_directories(${NAME} PUBLIC "${PROJECT_SOURCE_DIR}")
  target_link_libraries(${NAME} PUBLIC ${LAYER_LINKS})
  if(LAYER_QT)
    set_target_properties(${NAME} PROPERTIES AUTOMOC ON AUTORCC ON)
  endif()
  add_dependencies(${NAME} mervale_layers)
  # Never run: the link is the check.
  add_executable(${NAME}_links "${MERVALE_LINK_CHECK_MAIN}")
  target_link_libraries(${NAME}_links PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${NAME}>")
endfunction()
