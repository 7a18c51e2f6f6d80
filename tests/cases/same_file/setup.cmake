# Hard links of every executable extension, and a symbolic link.
foreach(extension exe bat cmd com)
  file(CREATE_LINK ${WORK}/in.list ${WORK}/hard.${extension})
  list(APPEND made hard.${extension})
endforeach()
file(CREATE_LINK in.list ${WORK}/link.exe SYMBOLIC)
list(APPEND made link.exe)
