# Installation: `cmake --install <build> --prefix P` puts the programs and what
# they load in P/lib/qv4816x, a launcher for each program in P/bin, and the
# desktop entries, icon, AppStream metainfo, man pages, udev rules and
# documentation where a Linux desktop looks for them.

# Fixed, not the multiarch library folder: the programs are private to us.
set(QV_PROGRAM_DIR lib/qv4816x)
set(QV_DOC_DIR share/doc/qv4816x)
set(QV_GZIP_DIR ${CMAKE_BINARY_DIR}/gz)

# Identity on the desktop: AppStream component id and home page.
set(QV_APPSTREAM_ID "org.example.QV4816X" CACHE STRING "AppStream component id (reverse domain name)")
set(QV_HOMEPAGE "https://example.org/qv4816x" CACHE STRING "Home page; the metainfo's screenshot lies under it")

# Gzips SOURCE into the build's gz folder as NAME.gz at build time (-n: no time
# stamp, so that builds are reproducible); returns the result's path in OUT.
function(qv_gzip source name out)
  set(gz ${QV_GZIP_DIR}/${name}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QV_GZIP_DIR}
    COMMAND gzip -9 -n -c ${source} > ${gz}
    DEPENDS ${source} VERBATIM)
  string(MAKE_C_IDENTIFIER "qv_gz_${name}" target)
  add_custom_target(${target} ALL DEPENDS ${gz})
  set(${out} ${gz} PARENT_SCOPE)
endfunction()

# qv_install_program(TARGET LAUNCHER [MAN]): installs the program TARGET as
# P/lib/qv4816x/LAUNCHER, binds it to the installed EVLINK4 library (programs
# without that binding are left alone), makes P/bin/LAUNCHER a relative link to
# it (arguments pass straight through, and the program still finds its own
# directory) and installs the man page docs/man/LAUNCHER.1, or MAN when given
# (a page made at build time).
function(qv_install_program target launcher)
  set(man ${PROJECT_SOURCE_DIR}/docs/man/${launcher}.1)
  if(ARGC GREATER 2)
    set(man ${ARGV2})
  elseif(NOT EXISTS ${man})
    message(FATAL_ERROR "${launcher} has no man page: ${man}")
  endif()
  # Installed under the target's own name (so that its run path is set as
  # usual), then renamed: one plain name per program, as in P/bin.
  install(TARGETS ${target} RUNTIME DESTINATION ${QV_PROGRAM_DIR})
  set(bind ${PROJECT_SOURCE_DIR}/cmake/bind-evlink4-path.sh)
  install(CODE "
    set(dir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${QV_PROGRAM_DIR}\")
    set(bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
    message(STATUS \"Installing: \${dir}/${launcher}\")
    file(RENAME \"\${dir}/$<TARGET_FILE_NAME:${target}>\" \"\${dir}/${launcher}\")
    execute_process(COMMAND sh \"${bind}\" \"\${dir}/${launcher}\"
      \"\${CMAKE_INSTALL_PREFIX}/${QV_PROGRAM_DIR}/libEVLINK4.so\" COMMAND_ERROR_IS_FATAL ANY)
    file(MAKE_DIRECTORY \"\${bin}\")
    message(STATUS \"Installing: \${bin}/${launcher}\")
    file(CREATE_LINK \"../${QV_PROGRAM_DIR}/${launcher}\" \"\${bin}/${launcher}\" SYMBOLIC)")
  qv_gzip(${man} ${launcher}.1 gz)
  install(FILES ${gz} DESTINATION share/man/man1)
endfunction()

# What the programs load, beside them.
install(TARGETS EVLINK4 EVLINK1 LIBRARY DESTINATION ${QV_PROGRAM_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/evlink/firmware/QV4816.hex DESTINATION ${QV_PROGRAM_DIR})

qv_install_program(qv4816x_second qv4816x)
qv_install_program(qv4816x_first qv4816x-v1)
# The command-line programs, when their folders are in the tree.
if(TARGET qv4816x_analyse)
  qv_install_program(qv4816x_analyse qv4816x-analyse)
endif()
if(TARGET qv4816x_scpi)
  # Its man page holds the command reference of docs/remote.md.
  set(scpi_man ${CMAKE_BINARY_DIR}/man/qv4816x-scpi.1)
  add_custom_command(OUTPUT ${scpi_man}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND /usr/bin/python3 ${PROJECT_SOURCE_DIR}/scripts/md2man.py ${PROJECT_SOURCE_DIR}/docs/man/qv4816x-scpi.1
            ${PROJECT_SOURCE_DIR}/docs/remote.md Execution > ${scpi_man}
    DEPENDS ${PROJECT_SOURCE_DIR}/scripts/md2man.py ${PROJECT_SOURCE_DIR}/docs/man/qv4816x-scpi.1
            ${PROJECT_SOURCE_DIR}/docs/remote.md VERBATIM)
  qv_install_program(qv4816x_scpi qv4816x-scpi ${scpi_man})
  install(FILES ${PROJECT_SOURCE_DIR}/docs/remote.md DESTINATION ${QV_DOC_DIR})
endif()

# The desktop: menu entries, icon, AppStream metainfo.
set(pkg ${PROJECT_SOURCE_DIR}/packaging)
install(FILES ${pkg}/qv4816x.desktop ${pkg}/qv4816x-v1.desktop DESTINATION share/applications)
if(TARGET qv4816x_analyse)
  install(FILES ${pkg}/qv4816x-analyse.desktop DESTINATION share/applications)
endif()
install(FILES ${pkg}/qv4816x.svg DESTINATION share/icons/hicolor/scalable/apps)
configure_file(${pkg}/metainfo.xml.in ${CMAKE_BINARY_DIR}/${QV_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/${QV_APPSTREAM_ID}.metainfo.xml DESTINATION share/metainfo)

# Documentation and the copyright file, as Debian has them.
# The installed system's README (the source tree's speaks of building it).
qv_gzip(${pkg}/README.installed.md README.md readme_gz)
install(FILES ${readme_gz} ${pkg}/debian/README.Debian DESTINATION ${QV_DOC_DIR})
install(FILES ${pkg}/debian/copyright DESTINATION ${QV_DOC_DIR})
