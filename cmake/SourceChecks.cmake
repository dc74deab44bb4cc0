# Checks over the sources themselves, run with the tests.
if(MOSWICK_TESTS)
  # Every source is formatted as `make format` leaves it (skipped with a
  # message where clang-format 14 is not installed).
  add_test(NAME SourcesAreFormatted COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-format ${CMAKE_SOURCE_DIR})
  set_tests_properties(SourcesAreFormatted PROPERTIES SKIP_RETURN_CODE 77)
  # SDL is reached through src/platform only, so another backend touches
  # one folder.
  add_test(NAME SdlOnlyInPlatform COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-platform-boundary ${CMAKE_SOURCE_DIR})
endif()
