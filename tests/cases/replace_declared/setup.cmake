# A definition and declaration as this run writes them (with this system's
# line ends), made long ago, are kept as they are; another pair is replaced.
foreach(name same.c same.h)
  native_line_ends(${WORK}/${name})
  file(TOUCH_NOCREATE ${WORK}/${name})
  execute_process(COMMAND touch -d "2001-01-01 00:00 UTC" ${WORK}/${name})
endforeach()
