# The replaced header has the old one's ACL exactly: none where it had none,
# though the folder's default ACL gives new files one.
find_program(SETFACL setfacl)
if(NOT SETFACL)
  set(skip "needs setfacl (Debian's acl)")
endif()
