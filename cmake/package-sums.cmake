# CPack: SHA256SUMS beside the zip, for the zip and starter.exe, in the form
# that `sha256sum -c SHA256SUMS` checks in the build folder.
set(sums "")
foreach(file ${CPACK_PACKAGE_FILES} ${CPACK_STARTER_EXE})
  file(SHA256 ${file} hash)
  get_filename_component(name ${file} NAME)
  string(APPEND sums "${hash}  ${name}\n")
endforeach()
file(WRITE ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS "${sums}")
