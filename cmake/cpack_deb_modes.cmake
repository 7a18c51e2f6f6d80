# Run by cpack once the packages are made: cpack gives the members of the .deb
# (an ar archive) the modes its umask leaves them, so each member's header is
# set to mode 0644 here, as dpkg-deb writes it.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  file(SIZE "${package}" size)
  set(header 8)  # after "!<arch>\n"; each member: a 60-byte header, its data, a pad to even
  while(header LESS size)
    math(EXPR mode_at "${header} + 40")
    math(EXPR size_at "${header} + 48")
    file(READ "${package}" member_size OFFSET ${size_at} LIMIT 10)
    execute_process(COMMAND printf 100644
                    COMMAND dd "of=${package}" bs=1 seek=${mode_at} conv=notrunc status=none
                    COMMAND_ERROR_IS_FATAL ANY)
    string(STRIP "${member_size}" member_size)
    math(EXPR header "${header} + 60 + ${member_size} + ${member_size} % 2")
  endwhile()
endforeach()
