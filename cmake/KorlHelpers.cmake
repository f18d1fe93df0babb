# korl_add_test(NAME SOURCES ... LIBS ... [LABELS ...])
# One GoogleTest executable, one CTest entry per test case.
function(korl_add_test name)
  cmake_parse_arguments(KT "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${KT_SOURCES})
  target_link_libraries(${name} PRIVATE ${KT_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    KORL_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    KORL_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_dependencies(${name} korlc)
  target_compile_definitions(${name} PRIVATE KORLC_PATH="$<TARGET_FILE:korlc>")
  gtest_discover_tests(${name}
    PROPERTIES LABELS "${KT_LABELS}" ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
    DISCOVERY_TIMEOUT 60)
endfunction()

# Pure libraries: standard C++ only. A folder with no sources yet still
# gives a target, so dependents link against it unchanged.
function(korl_pure_library name)
  if(ARGN)
    add_library(${name} STATIC ${ARGN})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
  endif()
endfunction()

# Qt libraries of a folder's qt/ subfolder.
function(korl_qt_library name)
  add_library(${name} STATIC ${ARGN})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${QSCINTILLA_INCLUDE_DIR})
  target_link_libraries(${name} PUBLIC Qt6::Core Qt6::Gui Qt6::Widgets Qt6::PrintSupport)
endfunction()
