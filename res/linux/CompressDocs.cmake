# Run by CPack after the install into its staging folder: compresses the manual pages and the
# changelog with `gzip -9n` (no name or time stamp, so the package's bytes stay the same).
file(GLOB_RECURSE docs
     ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/*.[1-9]
     ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/doc/*/changelog)
foreach(doc ${docs})
  execute_process(COMMAND gzip -9nf ${doc} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip ${doc} failed: ${status}")
  endif()
endforeach()
