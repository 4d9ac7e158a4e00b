# Manual pages made by help2man from the programs' own --help and --version, so the page never
# drifts from what the program says. Without help2man the pages are skipped, not the build.
find_program(VANTOR_HELP2MAN help2man)
if(NOT VANTOR_HELP2MAN)
  message(STATUS "help2man not found: the manual pages are not made (install help2man)")
endif()

set(VANTOR_MAN_DIR ${PROJECT_BINARY_DIR}/man)

# vantor_man_page(TARGET INCLUDE): man/TARGET.1 from the built program, with the NAME line,
# description and extra sections of the help2man include file INCLUDE; installed in man1.
function(vantor_man_page target include)
  if(NOT VANTOR_HELP2MAN)
    return()
  endif()
  set(page ${VANTOR_MAN_DIR}/${target}.1)
  # The desktop program answers --help and --version before it looks for a display.
  add_custom_command(OUTPUT ${page}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTOR_MAN_DIR}
                     COMMAND ${VANTOR_HELP2MAN} --no-info --section=1 --include=${include}
                             --output=${page} $<TARGET_FILE:${target}>
                     DEPENDS ${target} ${include}
                     COMMENT "Manual page ${target}.1"
                     VERBATIM)
  add_custom_target(${target}_man ALL DEPENDS ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
