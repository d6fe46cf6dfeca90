# Installation: programs in bin/, libraries in lib/, modules in lib/tavora/modules, each
# finding the others through an $ORIGIN-relative RUNPATH, so that a prefix works wherever
# it is unpacked (cmake --install build --prefix DIR, or scripts/install.sh).
set(TAV_INSTALL_BINDIR bin)
set(TAV_INSTALL_LIBDIR lib)
set(TAV_INSTALL_MODULEDIR lib/tavora/modules)

foreach(program TavCmdHost tavctl TvrBrowser tavora)
    if(TARGET ${program})
        set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/../${TAV_INSTALL_LIBDIR}")
        install(TARGETS ${program} RUNTIME DESTINATION ${TAV_INSTALL_BINDIR})
    endif()
endforeach()
foreach(library TavRep TavEngine)
    if(TARGET ${library})
        set_target_properties(${library} PROPERTIES INSTALL_RPATH "$ORIGIN")
        install(TARGETS ${library} LIBRARY DESTINATION ${TAV_INSTALL_LIBDIR})
    endif()
endforeach()
foreach(module filesmodule oemodule filesmodule_ui oemodule_ui)
    if(TARGET ${module})
        set_target_properties(${module} PROPERTIES INSTALL_RPATH "$ORIGIN/../..")
        install(TARGETS ${module} LIBRARY DESTINATION ${TAV_INSTALL_MODULEDIR})
    endif()
endforeach()
install(FILES README.md docs/cmdhost.md docs/tavctl.md docs/job-format.md docs/format.md docs/oe.md
        DESTINATION share/doc/tavora)
