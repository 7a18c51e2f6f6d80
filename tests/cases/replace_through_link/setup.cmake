# Links at the header's path, one leading to another: the file they lead to
# is replaced (its hard link keeps the old text), and the links stay links.
file(CREATE_LINK sub/real.h ${WORK}/first.h SYMBOLIC)
file(CREATE_LINK first.h ${WORK}/link.h SYMBOLIC)
file(CREATE_LINK ${WORK}/sub/real.h ${WORK}/sub/before.h)
set(made link.h first.h)
