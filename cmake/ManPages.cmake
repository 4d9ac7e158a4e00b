# Manual pages made by help2man from the programs' own --help and --version, so the page never
# drifts from what the program says. Without help2man the pages are skipped, not the build.
find_program(VANTOR_HELP2MAN help2man)
if(NOT VANTOR_HELP2MAN)
  message(STATUS "help2man not found: the manual pages are not made (install help2man)")
endif()

set(VANTOR_MAN_DIR ${PROJECT_BINARY_DIR}/man)

# vantor_man_page(TARGET INCLUDE...): man/TARGET.1 from the built program, with the NAME line,
# description and extra sections of the help2man include files; installed in man1.
function(vantor_man_page target)
  if(NOT VANTOR_HELP2MAN)
    return()
  endif()
  set(page ${VANTOR_MAN_DIR}/${target}.1)
  set(includes)
  foreach(include IN LISTS ARGN)
    list(APPEND includes --include=${include})
  endforeach()
  # The desktop program answers --help and --version before it looks for a display.
  add_custom_command(OUTPUT ${page}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTOR_MAN_DIR}
                     COMMAND ${VANTOR_HELP2MAN} --no-info --section=1 ${includes}
                             --output=${page} $<TARGET_FILE:${target}>
                     DEPENDS ${target} ${ARGN}
                     COMMENT "Manual page ${target}.1"
                     VERBATIM)
  add_custom_target(${target}_man ALL DEPENDS ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

# vantor_command_pages(TARGET SCRIPT INCLUDE COMMAND...): man/TARGET-COMMAND.1 for each command,
# as git has a page per command, from 'TARGET COMMAND --help-all' through SCRIPT; and
# man/TARGET-see-also.h2m, the SEE ALSO section of TARGET's own page that lists them.
function(vantor_command_pages target script include)
  if(NOT VANTOR_HELP2MAN)
    return()
  endif()
  set(pages)
  # No hyphenation in the list: each name stays whole for the reader to type.
  set(see_also "[SEE ALSO]\n.nh\n.BR vantor\\-adjust (1)")
  foreach(command IN LISTS ARGN)
    set(page ${VANTOR_MAN_DIR}/${target}-${command}.1)
    add_custom_command(OUTPUT ${page}
                       COMMAND sh ${script} ${VANTOR_HELP2MAN} $<TARGET_FILE:${target}> ${command}
                               ${include} ${page}
                       DEPENDS ${target} ${script} ${include}
                       COMMENT "Manual page ${target}-${command}.1"
                       VERBATIM)
    list(APPEND pages ${page})
    string(REPLACE "-" "\\-" escaped "${target}-${command}")
    string(APPEND see_also ",\n.BR ${escaped} (1)")
  endforeach()
  file(WRITE ${VANTOR_MAN_DIR}/${target}-see-also.h2m "${see_also}\n")
  add_custom_target(${target}_command_man ALL DEPENDS ${pages})
  install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
