# What `cmake --install` (and scripts/install) puts under the prefix: the
# programs, the systemd unit and the message catalogues.
include(GNUInstallDirs)
foreach(program zodavizi vtclient zodavizi-account zdlibrary)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/contrib/zodavizi.service
        DESTINATION lib/systemd/system)
install(FILES ${PROJECT_SOURCE_DIR}/locale/Vornelle.pot
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zodavizi/locale)
install(FILES ${PROJECT_SOURCE_DIR}/help/VRNZODavizi.html
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zodavizi)
