# The dialogs: data source chooser, profile manager, option dialogs, Parameters and SQL script.
set(MV_ROOT ${PROJECT_SOURCE_DIR})
add_library(mervale_dialogs STATIC
  ${MV_ROOT}/profiles/ui/CaseRadioGroup.cpp
  ${MV_ROOT}/profiles/ui/ProfileFieldPage.cpp
  ${MV_ROOT}/profiles/ui/ProfileTypesPage.cpp
  ${MV_ROOT}/profiles/ui/ProfileFunctionsPage.cpp
  ${MV_ROOT}/profiles/ui/ProfileSubstitutionsPage.cpp
  ${MV_ROOT}/profiles/ui/ProfilesSheet.cpp
  ${MV_ROOT}/db/ui/DataSourceDialog.cpp
  ${MV_ROOT}/settings/ui/AdvancedSheet.cpp
  ${MV_ROOT}/settings/ui/DataConditionsDialog.cpp
  ${MV_ROOT}/settings/ui/OptionDialogs.cpp
  ${MV_ROOT}/settings/ui/RunSetup.cpp
  ${MV_ROOT}/settings/ui/ParametersDialog.cpp
  ${MV_ROOT}/settings/ui/SqlScriptDialog.cpp
  ${MV_ROOT}/run/ui/RunCommands.cpp
  # Headers with Q_OBJECT and no source of their own.
  ${MV_ROOT}/profiles/ui/ProfilePage.h
)
target_link_libraries(mervale_dialogs PUBLIC mervale_core Qt6::Widgets)
set_target_properties(mervale_dialogs PROPERTIES AUTOMOC ON)

if(MERVALE_TESTS)
  enable_testing()
  # One executable per dialog family; every test function is its own CTest test.
  function(mv_dialog_test name)
    cmake_parse_arguments(T "PG" "" "" ${ARGN})
    set(src ${MV_ROOT}/tests/dialogs/${name}.cpp)
    add_executable(${name} ${src})
    target_include_directories(${name} PRIVATE ${MV_ROOT}/tests ${MV_ROOT}/tests/dialogs)
    target_link_libraries(${name} PRIVATE mervale_dialogs Qt6::Test)
    target_compile_definitions(${name} PRIVATE MV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                              MV_BINARY_DIR="${PROJECT_BINARY_DIR}")
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    if(T_PG)
      # The shared PostgreSQL server of the test run (the devservers fixture).
      target_link_libraries(${name} PRIVATE mervale_devservers)
    endif()
    if(TARGET demo)
      add_dependencies(${name} demo)
    endif()
    # The test functions are the private slots declared as "  void name();".
    file(STRINGS ${src} lines REGEX "^  void [A-Za-z0-9_]+\\(\\);$")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^  void ([A-Za-z0-9_]+)\\(\\);$" "\\1" fn "${line}")
      add_test(NAME dialogs.${name}.${fn} COMMAND ${name} ${fn})
      set_tests_properties(dialogs.${name}.${fn} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;MERVALE_DEVSERVER_STATE_DIR=${PROJECT_BINARY_DIR}/tests/devservers"
        TIMEOUT 300)
      if(T_PG)
        set_tests_properties(dialogs.${name}.${fn} PROPERTIES FIXTURES_REQUIRED devservers)
      endif()
    endforeach()
  endfunction()

  mv_dialog_test(profiles_sheet_test)
  mv_dialog_test(datasource_dialog_test PG)
  mv_dialog_test(structure_conditions_test PG)
  mv_dialog_test(run_dialogs_test PG)
  mv_dialog_test(commands_test)
endif()

# Renders every dialog and profile page into docs/screenshots (offscreen; run by hand).
add_executable(mervale-dialog-screenshots ${MV_ROOT}/apps/desktop/dialog_screenshots.cpp)
target_link_libraries(mervale-dialog-screenshots PRIVATE mervale_dialogs)
target_compile_definitions(mervale-dialog-screenshots PRIVATE MV_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                                              MV_BINARY_DIR="${PROJECT_BINARY_DIR}")
