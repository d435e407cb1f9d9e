# merivox-example's options: --help prints the usage and writes nothing; any
# other argument that starts with "-" is refused with the usage, and nothing
# is written either.
file(REMOVE_RECURSE ${FOLDER})
file(MAKE_DIRECTORY ${FOLDER})
foreach(option -h --help --bogus)
  execute_process(COMMAND ${PROGRAM} ${option} WORKING_DIRECTORY ${FOLDER}
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(option STREQUAL "--bogus")
    if(status EQUAL 0 OR NOT err MATCHES "usage: merivox-example")
      message(FATAL_ERROR "${option}: status ${status}, refusal expected with the usage; stderr: ${err}")
    endif()
  elseif(NOT status EQUAL 0 OR NOT out MATCHES "usage: merivox-example")
    message(FATAL_ERROR "${option}: status ${status}, the usage expected; stdout: ${out}")
  endif()
  file(GLOB written ${FOLDER}/* ${FOLDER}/.*)
  if(written)
    message(FATAL_ERROR "${option} wrote ${written}")
  endif()
endforeach()
