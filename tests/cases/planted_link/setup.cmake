# A link of another user's in a folder that anyone may write to, as /tmp.
file(MAKE_DIRECTORY ${WORK}/shared)
file(CREATE_LINK ../target.h ${WORK}/shared/out.h SYMBOLIC)
execute_process(COMMAND chmod 1777 ${WORK}/shared)
execute_process(COMMAND chown -h nobody ${WORK}/shared/out.h)
set(made shared/out.h)
