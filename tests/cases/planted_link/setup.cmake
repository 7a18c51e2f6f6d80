# Links in a folder that anyone may write to, as /tmp: another user's to the
# header and to a folder, which are refused wherever they stand in the path,
# and one of the user's own, which is followed.
file(MAKE_DIRECTORY ${WORK}/shared ${WORK}/victim)
file(CREATE_LINK ../target.h ${WORK}/shared/out.h SYMBOLIC)
file(CREATE_LINK ../victim ${WORK}/shared/build SYMBOLIC)
file(CREATE_LINK ../victim ${WORK}/shared/mine SYMBOLIC)
execute_process(COMMAND chmod 1777 ${WORK}/shared)
execute_process(COMMAND chown -h nobody ${WORK}/shared/out.h ${WORK}/shared/build)
set(made shared/out.h shared/build shared/mine)
