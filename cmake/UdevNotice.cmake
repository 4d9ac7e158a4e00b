# Runs at install time, after the udev rule is in place: udev reads its rules from a few fixed
# folders only, so a rule installed under any other prefix grants nothing until it is copied.
# vantor_udev_rules_dir and vantor_udev_rule are set by the install rule before this script.
if(IS_ABSOLUTE "${vantor_udev_rules_dir}")
  set(_vantor_rules_dir "${vantor_udev_rules_dir}")
else()
  set(_vantor_rules_dir "${CMAKE_INSTALL_PREFIX}/${vantor_udev_rules_dir}")
endif()
cmake_path(NORMAL_PATH _vantor_rules_dir)
string(REGEX REPLACE "/$" "" _vantor_rules_dir "${_vantor_rules_dir}")

set(_vantor_udev_reads /etc/udev/rules.d /run/udev/rules.d /usr/local/lib/udev/rules.d
                       /usr/lib/udev/rules.d /lib/udev/rules.d)
list(FIND _vantor_udev_reads "${_vantor_rules_dir}" _vantor_read)
if(_vantor_read EQUAL -1)
  set(_vantor_rule "${_vantor_rules_dir}/${vantor_udev_rule}")
  message(NOTICE
    "udev does not read ${_vantor_rules_dir}: the printer ports stay closed to the lp group "
    "until the rule is copied where udev reads it:\n"
    "  sudo cp ${_vantor_rule} /etc/udev/rules.d/ && sudo udevadm control --reload-rules "
    "&& sudo udevadm trigger")
endif()
