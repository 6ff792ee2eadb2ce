# How the Windows builds are compiled and linked so that the program is small and the same
# bytes from every clean build, wherever its source and build folders lie.

# Each function and object in a section of its own, so that the linker drops what nothing
# uses. Debug information for every object: it goes into the program's separate .debug file.
add_compile_options(-ffunction-sections -fdata-sections -g)
add_link_options(-Wl,--gc-sections)

# No folder names in the objects (__FILE__, debug information): both the source folder and
# the build folder (where the compiler runs) read as ".", so that a debugger started in the
# source folder finds the sources. The build folder may lie inside the source folder: the
# later map wins where both match.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)

# No link time in the PE header.
add_link_options(-Wl,--no-insert-timestamp)

# orvex_ship_program(<target>): the program as it is handed out. Its debug information and
# symbols go to <program>.debug beside it, which the program names through a GNU debug link
# (with the .debug file's CRC); the program itself keeps no symbols and no debug sections.
# std::terminate ends the program through abort() without the libstdc++ handler that prints
# the uncaught exception's demangled type: a GUI program has no console to print to, and the
# demangler is the largest single piece of the runtime (about 46 KiB).
function(orvex_ship_program target)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
    set(prefix "_")  # 32-bit Windows symbols carry a leading underscore
  else()
    set(prefix "")
  endif()
  target_link_options(${target} PRIVATE
    "-Wl,--defsym=${prefix}_ZN9__gnu_cxx27__verbose_terminate_handlerEv=${prefix}abort"
    "-Wl,-Map=$<TARGET_FILE:${target}>.map")
  set(program $<TARGET_FILE:${target}>)
  # objcopy and strip write the time into a PE header they rewrite, unless SOURCE_DATE_EPOCH
  # names one: 0, as the linker writes with --no-insert-timestamp.
  set(fixed_time ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${fixed_time} ${CMAKE_OBJCOPY} --only-keep-debug ${program} ${program}.debug
    COMMAND ${fixed_time} ${CMAKE_STRIP} --strip-all ${program}
    COMMAND ${fixed_time} ${CMAKE_OBJCOPY} --add-gnu-debuglink=${program}.debug ${program}
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    COMMENT "Separating the debug information of ${target}"
    VERBATIM)
endfunction()
