# CPack, once the zip is written: the zip made to depend on its contents
# alone by strip-nondeterminism (entries in name order, one time for all,
# modes 755 and 644, no owners), and SHA256SUMS beside it for the zip and
# starter.exe, in the form that `sha256sum -c SHA256SUMS` checks in the
# build folder.
find_program(STRIP_NONDETERMINISM strip-nondeterminism REQUIRED)
set(sums "")
foreach(zip ${CPACK_PACKAGE_FILES})
  execute_process(COMMAND ${STRIP_NONDETERMINISM} --type zip --timestamp ${CPACK_STARTER_SOURCE_DATE_EPOCH} ${zip}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
foreach(file ${CPACK_PACKAGE_FILES} ${CPACK_STARTER_EXE})
  file(SHA256 ${file} hash)
  get_filename_component(name ${file} NAME)
  string(APPEND sums "${hash}  ${name}\n")
endforeach()
file(WRITE ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS "${sums}")
