# Windows builds ship what the tests ran: the same bytes whoever builds them
# and wherever the tree lies, small, with the debug information beside them.
#
# - No paths of this machine: the source folder is written as "." and the
#   build folder as "build" in debug information and in __FILE__.
# - No link time in the PE header (TimeDateStamp 0). objcopy and strip would
#   write the current time when they rewrite the header, unless
#   SOURCE_DATE_EPOCH says otherwise, so they run with it at 0 too.
# - upd_ship_debug_beside(target): after the link, the DWARF debug information
#   moves to <file>.debug beside the program, which keeps a .gnu_debuglink
#   to it (its name and CRC-32), so gdb finds it when both lie together.
if(NOT WIN32)
  return()
endif()

# The later map wins for paths below both folders (the build folder may lie
# inside the source folder, as build/<preset> does).
add_compile_options(
  -ffile-prefix-map=${CMAKE_SOURCE_DIR}=.
  -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
add_link_options(-Wl,--no-insert-timestamp)

function(upd_ship_debug_beside target)
  set(exe $<TARGET_FILE:${target}>)
  set(env ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${env} ${CMAKE_OBJCOPY} --only-keep-debug ${exe} ${exe}.debug
    COMMAND ${env} ${CMAKE_STRIP} --strip-all ${exe}
    COMMAND ${env} ${CMAKE_OBJCOPY} --add-gnu-debuglink=${exe}.debug ${exe}
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    COMMENT "Moving the debug information of ${target} beside it"
    VERBATIM)
endfunction()
