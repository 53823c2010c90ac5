# Prints the size of the release exe and, when given, what it holds as a
# signing key (cmake -DQMX_EXE=... [-DQMX_KEY_NOTE=...] -P exe-size.cmake).
file(SIZE "${QMX_EXE}" size)
math(EXPR kib "${size} / 1024")
get_filename_component(name "${QMX_EXE}" NAME)
message("size: ${name} ${size} bytes (${kib} KiB)")
if(QMX_KEY_NOTE)
  message("${QMX_KEY_NOTE}")
endif()
