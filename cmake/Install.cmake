# What `cmake --install` puts under the prefix:
#   bin/hortelix, bin/ZIDERUVA, bin/kivdata   the three programs
#   share/hortelix/dist/                       the template of an installation tree (forms,
#                                              language file, help, description files), which
#                                              `kivdata init` and `kivdata demo` copy
#   share/man/man1/                            their manual pages
include(GNUInstallDirs)

foreach(program hortelix zideruva kivdata)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(DIRECTORY ${CMAKE_SOURCE_DIR}/dist/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/${PROJECT_NAME}/dist)

file(GLOB KIV_MAN_PAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/*.1)
install(FILES ${KIV_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
