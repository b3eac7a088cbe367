# Installs the build into PREFIX and checks what a desktop needs to find and show the program.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

include(GNUInstallDirs)
set(program "${PREFIX}/${CMAKE_INSTALL_BINDIR}/harborlume")
set(entry "${PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/harborlume.desktop")
set(icons "${PREFIX}/${CMAKE_INSTALL_DATADIR}/icons/hicolor")

if(NOT EXISTS "${program}" OR IS_DIRECTORY "${program}")
  message(FATAL_ERROR "the program is missing: ${program}")
endif()
execute_process(COMMAND test -x "${program}" RESULT_VARIABLE notExecutable)
if(notExecutable)
  message(FATAL_ERROR "the program is not executable: ${program}")
endif()

foreach(icon scalable/apps/harborlume.svg 48x48/apps/harborlume.png 256x256/apps/harborlume.png)
  if(NOT EXISTS "${icons}/${icon}")
    message(FATAL_ERROR "an icon is missing: ${icons}/${icon}")
  endif()
endforeach()

if(NOT EXISTS "${entry}")
  message(FATAL_ERROR "the desktop entry is missing: ${entry}")
endif()
file(STRINGS "${entry}" lines)
list(GET lines 0 header)
if(NOT header STREQUAL "[Desktop Entry]")
  message(FATAL_ERROR "the desktop entry does not start with its group header: ${header}")
endif()
# The entry must start the installed program by its name and show the installed icon.
foreach(expected "Type=Application" "Name=Harbor Lume" "Exec=harborlume" "Icon=harborlume")
  list(FIND lines "${expected}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "the desktop entry lacks \"${expected}\"")
  endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
