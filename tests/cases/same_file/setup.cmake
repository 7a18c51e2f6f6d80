# Hard and symbolic links of every executable extension.
foreach(extension exe bat cmd com)
  file(CREATE_LINK ${WORK}/in.list ${WORK}/hard.${extension})
  file(CREATE_LINK in.list ${WORK}/link.${extension} SYMBOLIC)
  list(APPEND made hard.${extension} link.${extension})
endforeach()
