# The main window, the script view and its commands, the Control Panel (library
# mervale_windows), the program mervale and the window tests.

add_library(mervale_windows STATIC
  ${PROJECT_SOURCE_DIR}/shell/ui/ScriptView.cpp
  ${PROJECT_SOURCE_DIR}/shell/ui/FindBox.cpp
  ${PROJECT_SOURCE_DIR}/shell/ui/QtHost.cpp
  ${PROJECT_SOURCE_DIR}/shell/ui/resources/shell.qrc
  ${PROJECT_SOURCE_DIR}/run/ui/ControlPanel.cpp
  ${PROJECT_SOURCE_DIR}/run/ui/PictureButton.cpp
  ${PROJECT_SOURCE_DIR}/run/ui/SavingWindow.cpp
  ${PROJECT_SOURCE_DIR}/run/ui/resources/panel.qrc
)
target_link_libraries(mervale_windows PUBLIC mervale_core Qt6::Widgets Qt6::PrintSupport)
if(TARGET mervale_dialogs)
  target_link_libraries(mervale_windows PUBLIC mervale_dialogs)
  target_compile_definitions(mervale_windows PUBLIC MERVALE_HAVE_DIALOGS=1)
endif()

if(MERVALE_TESTS)
  # Tests are declared here, before the top level reaches enable_testing().
  enable_testing()
  # One CTest test per Qt Test function: the slots declared under "private slots:" of SOURCE.
  function(mervale_add_window_test NAME SOURCE)
    add_executable(${NAME} ${SOURCE})
    target_link_libraries(${NAME} PRIVATE mervale_windows Qt6::Test)
    target_include_directories(${NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/ui)
    target_compile_definitions(${NAME} PRIVATE
      MV_SOURCE_DIR="${PROJECT_SOURCE_DIR}" MV_BINARY_DIR="${PROJECT_BINARY_DIR}")
    add_dependencies(${NAME} demo)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${SOURCE})
    file(READ ${SOURCE} text)
    string(REGEX MATCH "private slots:[^}]*" slots "${text}")
    string(REGEX MATCHALL "void [A-Za-z0-9_]+\\(\\)" decls "${slots}")
    foreach(decl IN LISTS decls)
      string(REGEX REPLACE "void ([A-Za-z0-9_]+)\\(\\)" "\\1" fn "${decl}")
      if(fn MATCHES "^(initTestCase|cleanupTestCase|init|cleanup)$")
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
endif()
