# Links that lead to no file yet: the file they lead to is made, as the
# shell's > makes it, and the links stay links; a link to a folder is no
# header, and nothing is made in that folder.
file(MAKE_DIRECTORY ${WORK}/sub)
file(CREATE_LINK sub/made.h ${WORK}/out.h SYMBOLIC)
file(CREATE_LINK new.h ${WORK}/link.h SYMBOLIC)
file(CREATE_LINK sub/ ${WORK}/slash.h SYMBOLIC)
set(made out.h link.h slash.h)
