# pkg-config files: the prefix is found relative to the .pc file, so an
# install can move; Libs carries -Wl,-rpath,${libdir} when the prefix is
# not a system one, so that programs linked with the flags run without
# LD_LIBRARY_PATH. The prefix is the one given at install time.
file(RELATIVE_PATH ZENTREL_PC_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")

function(zentrel_install_pkgconfig template name)
  set(ZENTREL_PC_RPATH "@ZENTREL_PC_RPATH@")  # filled in at install time
  configure_file(${template} ${PROJECT_BINARY_DIR}/${name}.pc.in @ONLY)
  install(CODE "
    set(zentrel_pc_rpath \"\")
    if(NOT CMAKE_INSTALL_PREFIX MATCHES \"^/usr(/local)?/*$\")
      set(zentrel_pc_rpath \" -Wl,-rpath,\\\${libdir}\")
    endif()
    file(READ \"${PROJECT_BINARY_DIR}/${name}.pc.in\" zentrel_pc)
    string(REPLACE \"@ZENTREL_PC_RPATH@\" \"\${zentrel_pc_rpath}\" zentrel_pc \"\${zentrel_pc}\")
    set(zentrel_pc_file \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig/${name}.pc\")
    message(STATUS \"Installing: \${zentrel_pc_file}\")
    file(WRITE \"\${zentrel_pc_file}\" \"\${zentrel_pc}\")
  ")
endfunction()
