# Installing: the program to bin, its read-only data to share/moswick, and the
# desktop's entry, icons and metainfo. The program finds share/moswick from
# its own folder, so the tree can be moved to another prefix as a whole.
include(GNUInstallDirs)

set(MOSWICK_APP_ID io.github.moswick.Moswick)
set(MOSWICK_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/moswick)

install(TARGETS moswick RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_BINARY_DIR}/game.zxc ${CMAKE_BINARY_DIR}/GameParams.xml ${CMAKE_BINARY_DIR}/AddLogo.xml ${CMAKE_BINARY_DIR}/Quorvane.link
        DESTINATION ${MOSWICK_INSTALL_DATADIR})
install(DIRECTORY ${CMAKE_BINARY_DIR}/lng DESTINATION ${MOSWICK_INSTALL_DATADIR})
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons DESTINATION ${CMAKE_INSTALL_DATADIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/${MOSWICK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/data/desktop/${MOSWICK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Where the data lies seen from the program's folder once installed.
file(RELATIVE_PATH _data_from_bin ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${MOSWICK_INSTALL_DATADIR})
target_compile_definitions(moswick_game PRIVATE MOSWICK_DATA_FROM_BIN="${_data_from_bin}")

if(MOSWICK_TESTS)
  # Installs to a temporary prefix, starts the installed program headless from
  # another folder and validates the desktop files.
  add_test(NAME InstallToPrefixAndStart
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/install/InstallTest.sh ${CMAKE_BINARY_DIR} ${MOSWICK_APP_ID})
  set_tests_properties(InstallToPrefixAndStart PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
