# What `cmake --install` puts where (GNU layout): the programs, Portavel with
# its header and discovery files, the program's data, the desktop files and
# the documentation.
include(CMakePackageConfigHelpers)

set(QUILLMAR_DATADIR ${CMAKE_INSTALL_DATADIR}/gps-quillmar)

# A program that links Portavel finds the installed library beside it, in any
# prefix. In /usr the loader finds it anyway, and Debian wants no search path.
function(quillmar_install_program_with_portavel target)
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(CODE "
        if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
            file(RPATH_REMOVE FILE \"\$ENV{DESTDIR}/usr/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:${target}>\")
        endif()")
endfunction()

# Portavel.
install(TARGETS Portavel EXPORT PortavelTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/serial/portavel.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(portavel_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Portavel)
install(EXPORT PortavelTargets NAMESPACE Portavel:: DESTINATION ${portavel_cmake_dir})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/PortavelConfig.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/PortavelConfig.cmake INSTALL_DESTINATION ${portavel_cmake_dir})
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/PortavelConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/PortavelConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/PortavelConfigVersion.cmake
        DESTINATION ${portavel_cmake_dir})

# portavel.pc names the prefix it is installed to, which is known only then
# (`cmake --install --prefix`, or /usr for the package).
install(CODE "
    set(PORTAVEL_VERSION ${PROJECT_VERSION})
    set(PORTAVEL_LIBDIR ${CMAKE_INSTALL_LIBDIR})
    set(PORTAVEL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR})
    set(PORTAVEL_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(${CMAKE_CURRENT_LIST_DIR}/portavel.pc.in
        ${CMAKE_CURRENT_BINARY_DIR}/pc/portavel.pc @ONLY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig\"
        TYPE FILE PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
        FILES ${CMAKE_CURRENT_BINARY_DIR}/pc/portavel.pc)")

# Manual pages, compressed as Debian ships them.
set(man_pages ${PROJECT_SOURCE_DIR}/docs/man/gps-sim.1 ${PROJECT_SOURCE_DIR}/docs/man/nmea-dump.1)
if(QUILLMAR_GUI)
    list(APPEND man_pages ${PROJECT_SOURCE_DIR}/docs/man/GPS_Quillmar.1)
endif()
set(man_outputs)
foreach(page ${man_pages})
    get_filename_component(name ${page} NAME)
    set(out ${CMAKE_CURRENT_BINARY_DIR}/man/${name}.gz)
    add_custom_command(OUTPUT ${out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
        COMMAND gzip -9n -c ${page} > ${out}
        DEPENDS ${page} VERBATIM)
    list(APPEND man_outputs ${out})
endforeach()
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/doc/changelog.gz)
add_custom_command(OUTPUT ${changelog}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/doc
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/docs/changelog > ${changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/changelog VERBATIM)
add_custom_target(install_docs ALL DEPENDS ${man_outputs} ${changelog})
install(FILES ${man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The simulated receiver and the log dumper.
install(TARGETS gps-sim nmea-dump RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The program, what it loads and what puts it into the desktop's menu.
if(QUILLMAR_GUI)
    quillmar_install_program_with_portavel(GPS_Quillmar)
    install(FILES ${PROJECT_SOURCE_DIR}/assets/Sure.bmp DESTINATION ${QUILLMAR_DATADIR})
    set(desktop_dir ${PROJECT_SOURCE_DIR}/assets/desktop)
    install(FILES ${desktop_dir}/io.github.quillmar.GPS_Quillmar.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${desktop_dir}/io.github.quillmar.GPS_Quillmar.metainfo.xml
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${desktop_dir}/gps-quillmar.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    foreach(size 16 24 32 48 64 128 256)
        install(FILES ${desktop_dir}/png/gps-quillmar-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME gps-quillmar.png)
    endforeach()
endif()

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE
              ${PROJECT_SOURCE_DIR}/docs/copyright ${changelog}
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/docs/examples/portavel_example.c
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
