# The file that stood in the way, named after the program's process, is kept.
file(GLOB parts ${WORK}/out.h.marvot-*.part)
if(parts)
  file(RENAME ${parts} ${WORK}/kept.part)
endif()
