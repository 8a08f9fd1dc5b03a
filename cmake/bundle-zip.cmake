# CPack, once the test bundle's zip is written: its entries in name order,
# each with the same time (the release's: SOURCE_DATE_EPOCH or the commit's)
# and no extra fields, so that the same build packs the same zip.
find_program(STRIP_NONDETERMINISM strip-nondeterminism REQUIRED)
foreach(zip ${CPACK_PACKAGE_FILES})
  execute_process(COMMAND ${STRIP_NONDETERMINISM} --type zip --timestamp ${CPACK_STARTER_SOURCE_DATE_EPOCH} ${zip}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
