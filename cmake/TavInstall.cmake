# Installation: programs in bin/, libraries in lib/, modules in lib/tavora/modules, each
# finding the others through an $ORIGIN-relative RUNPATH, so that a prefix works wherever
# it is unpacked (cmake --install build --prefix DIR, or scripts/install.sh).
set(TAV_INSTALL_BINDIR bin)
set(TAV_INSTALL_LIBDIR lib)
set(TAV_INSTALL_MODULEDIR lib/tavora/modules)

set(TAV_INSTALL_PROGRAMS TavCmdHost tavctl)
set(TAV_INSTALL_LIBRARIES TavRep TavEngine)
set(TAV_INSTALL_MODULES filesmodule oemodule)
if(TAV_BUILD_GUI)
    list(APPEND TAV_INSTALL_PROGRAMS TvrBrowser tavora)
    list(APPEND TAV_INSTALL_LIBRARIES TavUi)
    list(APPEND TAV_INSTALL_MODULES oemodule_ui)
endif()
foreach(program ${TAV_INSTALL_PROGRAMS})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/../${TAV_INSTALL_LIBDIR}")
    install(TARGETS ${program} RUNTIME DESTINATION ${TAV_INSTALL_BINDIR})
endforeach()
foreach(library ${TAV_INSTALL_LIBRARIES})
    set_target_properties(${library} PROPERTIES INSTALL_RPATH "$ORIGIN")
    install(TARGETS ${library} LIBRARY DESTINATION ${TAV_INSTALL_LIBDIR})
endforeach()
foreach(module ${TAV_INSTALL_MODULES})
    set_target_properties(${module} PROPERTIES INSTALL_RPATH "$ORIGIN/../..")
    install(TARGETS ${module} LIBRARY DESTINATION ${TAV_INSTALL_MODULEDIR})
endforeach()
install(FILES README.md docs/cmdhost.md docs/tavctl.md docs/job-format.md docs/format.md docs/oe.md
        DESTINATION share/doc/tavora)
