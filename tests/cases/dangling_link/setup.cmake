# Links that lead to no file yet: the file they lead to is made, as the
# shell's > makes it, and the links stay links.
file(MAKE_DIRECTORY ${WORK}/sub)
file(CREATE_LINK sub/made.h ${WORK}/out.h SYMBOLIC)
file(CREATE_LINK new.h ${WORK}/link.h SYMBOLIC)
set(made out.h link.h)
