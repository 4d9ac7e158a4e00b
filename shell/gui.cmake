# The desktop program's windows: start, quit and version windows, message boxes, the virtual
# printer's console and the program entry.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

add_library(vantor_shell_gui STATIC
  DialogService.cpp
  TFormBoot.cpp
  TFormQuit.cpp
  TAboutBox.cpp
)
set_target_properties(vantor_shell_gui PROPERTIES AUTOMOC ON)
target_link_libraries(vantor_shell_gui PUBLIC Qt6::Widgets vantor_link vantor_words)

# The program's assembly, shared by the executable and the window tests. vantor_adjust_gui is
# defined later, by adjust/gui.cmake.
add_library(vantor_program STATIC
  Options.cpp
  Program.cpp
  VirtualConsole.cpp
)
set_target_properties(vantor_program PROPERTIES AUTOMOC ON)
target_link_libraries(vantor_program PUBLIC vantor_shell_gui vantor_adjust_gui vantor_sim vantor_ports)

add_executable(vantor-adjust main.cpp)
target_link_libraries(vantor-adjust PRIVATE vantor_program)

install(TARGETS vantor-adjust RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES vantor-adjust.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
