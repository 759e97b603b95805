# Install step: the desktop entry with a Path= key naming the installed data folder, so that
# the program, started from a menu, finds default.hrh and dlazdice/default.bmp in its current
# directory. Expects ornamo_desktop_source, ornamo_desktop_built, ornamo_install_data and
# ornamo_install_applications (set by app/CMakeLists.txt).
foreach(dir ornamo_install_data ornamo_install_applications)
  if(NOT IS_ABSOLUTE "${${dir}}")
    set(${dir} "${CMAKE_INSTALL_PREFIX}/${${dir}}")
  endif()
endforeach()

file(READ "${ornamo_desktop_source}" entry)
if(NOT entry MATCHES "\n$")
  string(APPEND entry "\n")
endif()
if(NOT entry MATCHES "(^|\n)Path=")
  string(APPEND entry "Path=${ornamo_install_data}\n")
endif()
file(WRITE "${ornamo_desktop_built}" "${entry}")
file(INSTALL DESTINATION "$ENV{DESTDIR}${ornamo_install_applications}" TYPE FILE
     FILES "${ornamo_desktop_built}")
