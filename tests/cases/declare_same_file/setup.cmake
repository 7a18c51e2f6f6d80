# A declaration named as the definition is, or a hard link to it: refused,
# and a definition that the run made for it is removed again.
file(CREATE_LINK ${WORK}/other.h ${WORK}/link.h)
set(made link.h)
