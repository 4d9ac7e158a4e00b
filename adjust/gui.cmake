# The adjustment window and the workflow panels that join it.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

add_library(vantor_adjust_gui STATIC
  Malformadjust.cpp
  RadioGroup.cpp
  WindowTimer.cpp
  WorkflowModules.cpp
  SharedIds.cpp
  PanelParts.cpp
  BidPanels.cpp
  HeadAngularPanels.cpp
  MechanismPanels.cpp
  IdentityPanels.cpp
  MaintenancePanels.cpp
  EepromPanels.cpp
)
set_target_properties(vantor_adjust_gui PROPERTIES AUTOMOC ON)
target_link_libraries(vantor_adjust_gui PUBLIC Qt6::Widgets vantor_shell_gui vantor_procedures)
