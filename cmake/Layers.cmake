# Each library exports only its own folder: a target sees another folder's headers only when it
# links that folder's library. The include root of a target is a folder in the build tree
# holding a link to the library's own source folder, so "link/PacketChannel.h" still reads the
# same everywhere.
function(vantor_export_folder target folder)
  set(root ${CMAKE_BINARY_DIR}/exported/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC COPY_ON_ERROR)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
