# The main window, the script view and its commands, the Control Panel (library
# mervale_windows), the program mervale, its help pages and the window tests.

add_library(mervale_windows STATIC
  ${PROJECT_SOURCE_DIR}/shell/ui/AboutBox.cpp
  ${PROJECT_SOURCE_DIR}/shell/ui/FindBox.cpp
  ${PROJECT_SOURCE_DIR}/shell/ui/HelpWindow.cpp
  ${PROJECT_SOURCE_DIR}/shell/ui/MainWindow.cpp
  ${PROJECT_SOURCE_DIR}/shell/ui/QtHost.cpp
  ${PROJECT_SOURCE_DIR}/shell/ui/ScriptPrinter.cpp
  ${PROJECT_SOURCE_DIR}/shell/ui/ScriptView.cpp
  ${PROJECT_SOURCE_DIR}/shell/ui/WindowResources.cpp
  ${PROJECT_SOURCE_DIR}/shell/ui/resources/shell.qrc
  ${PROJECT_SOURCE_DIR}/run/ui/ControlPanel.cpp
  ${PROJECT_SOURCE_DIR}/run/ui/PictureButton.cpp
  ${PROJECT_SOURCE_DIR}/run/ui/SavingWindow.cpp
  ${PROJECT_SOURCE_DIR}/run/ui/resources/panel.qrc
)
target_link_libraries(mervale_windows PUBLIC mervale_core Qt6::Widgets Qt6::PrintSupport)
if(TARGET mervale_dialogs)
  target_link_libraries(mervale_windows PUBLIC mervale_dialogs)
endif()

add_executable(mervale main.cpp)
target_link_libraries(mervale PRIVATE mervale_windows)
# Beside mervale-batch and the program folder the build lays out.
set_target_properties(mervale PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}")

# The help pages, in the program folder's "help" folder.
file(GLOB MERVALE_HELP_PAGES CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/help/*.html")
mervale_ship_to_program_folder(help DESTINATION help FILES ${MERVALE_HELP_PAGES})

include(${CMAKE_CURRENT_LIST_DIR}/Install.cmake)

if(MERVALE_TESTS)
  # Pictures of the windows for the README: QT_QPA_PLATFORM=offscreen build/mervale-screenshots docs/screenshots
  add_executable(mervale-screenshots screenshots.cpp)
  target_link_libraries(mervale-screenshots PRIVATE mervale_windows Qt6::Test)
  target_compile_definitions(mervale-screenshots PRIVATE MV_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set_target_properties(mervale-screenshots PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${PROJECT_BINARY_DIR}")
  add_dependencies(mervale-screenshots demo)

  # Tests are declared here, before the top level reaches enable_testing().
  enable_testing()
  # One CTest test per Qt Test function: the slots declared under "private slots:" of SOURCE.
  function(mervale_add_window_test NAME SOURCE)
    add_executable(${NAME} ${SOURCE})
    target_link_libraries(${NAME} PRIVATE mervale_windows Qt6::Test)
    target_compile_definitions(${NAME} PRIVATE
      MV_SOURCE_DIR="${PROJECT_SOURCE_DIR}" MV_BINARY_DIR="${PROJECT_BINARY_DIR}")
    add_dependencies(${NAME} demo mervale)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${SOURCE})
    file(READ ${SOURCE} text)
    string(REGEX MATCH "private slots:[^}]*" slots "${text}")
    string(REGEX MATCHALL "void [A-Za-z0-9_]+\\(\\)" decls "${slots}")
    foreach(decl IN LISTS decls)
      string(REGEX REPLACE "void ([A-Za-z0-9_]+)\\(\\)" "\\1" fn "${decl}")
      if(fn MATCHES "^(initTestCase|cleanupTestCase|init|cleanup)$|_data$")
        continue()
      endif()
      add_test(NAME ${NAME}.${fn} COMMAND ${NAME} ${fn})
      set_tests_properties(${NAME}.${fn} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_CONFIG_HOME=${PROJECT_BINARY_DIR}/test-config/${NAME}.${fn}"
        TIMEOUT 120)
    endforeach()
  endfunction()

  mervale_add_window_test(scriptview_test ${PROJECT_SOURCE_DIR}/tests/ui/ScriptViewTest.cpp)
  mervale_add_window_test(host_test ${PROJECT_SOURCE_DIR}/tests/ui/HostTest.cpp)
  mervale_add_window_test(mainwindow_test ${PROJECT_SOURCE_DIR}/tests/ui/MainWindowTest.cpp)
endif()
