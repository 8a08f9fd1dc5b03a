# CPack, once the zip is written: the zip made to depend on its contents
# alone (repack_zip.py), and SHA256SUMS beside it for the zip and
# starter.exe, in the form that `sha256sum -c SHA256SUMS` checks in the
# build folder.
set(sums "")
foreach(zip ${CPACK_PACKAGE_FILES})
  execute_process(COMMAND ${CPACK_STARTER_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/repack_zip.py ${zip}
                          ${CPACK_STARTER_SOURCE_DATE_EPOCH} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
foreach(file ${CPACK_PACKAGE_FILES} ${CPACK_STARTER_EXE})
  file(SHA256 ${file} hash)
  get_filename_component(name ${file} NAME)
  string(APPEND sums "${hash}  ${name}\n")
endforeach()
file(WRITE ${CPACK_PACKAGE_DIRECTORY}/SHA256SUMS "${sums}")
