# CPack, once a zip is written: the zip made to depend on its contents alone
# by strip-nondeterminism (entries in name order, one time for all, modes 755
# and 644, no owners), and, for the release, SHA256SUMS beside it for the zip
# and starter.exe, in the form that `sha256sum -c SHA256SUMS` checks in the
# build folder. The test bundle names no starter.exe and leaves the release's
# SHA256SUMS alone.
find_program(STRIP_NONDETERMINISM strip-nondeterminism REQUIRED)
foreach(zip ${CPACK_PACKAGE_FILES})
  execute_process(COMMAND ${STRIP_NONDETERMINISM} --type zip --timestamp ${CPACK_STARTER_SOURCE_DATE_EPOCH} ${zip}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
if(NOT CPACK_STARTER_EXE)
  return()
endif()
set(sums "")
foreach(file ${CPACK_PACKAGE_FILES} ${CPACK_STARTER_EXE})
  file(SHA256 ${file} hash)
  get_filename_component(name ${file} NAME)
  string(APPEND sums "${hash}  ${name}\n")
endforeach()
file(WRITE ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS "${sums}")
