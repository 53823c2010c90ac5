# Prints the size of the release exe (cmake -DQMX_EXE=... -P exe-size.cmake).
file(SIZE "${QMX_EXE}" size)
math(EXPR kib "${size} / 1024")
get_filename_component(name "${QMX_EXE}" NAME)
message("size: ${name} ${size} bytes (${kib} KiB)")
