# Builds help.chm: the pages, contents and index are kept in UTF-8 and written out in
# Windows-1251, the code page in which the help viewer reads Russian pages, then compiled.
# Called as: cmake -DSOURCE_DIR=... -DSTAGE_DIR=... -DOUTPUT=... -DICONV=... -DCHMCMD=... -P
file(REMOVE_RECURSE ${STAGE_DIR})
file(MAKE_DIRECTORY ${STAGE_DIR})
file(GLOB _files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.htm ${SOURCE_DIR}/*.hhp
     ${SOURCE_DIR}/*.hhc ${SOURCE_DIR}/*.hhk ${SOURCE_DIR}/*.css)
foreach(_file IN LISTS _files)
  execute_process(COMMAND ${ICONV} -f UTF-8 -t CP1251 ${SOURCE_DIR}/${_file}
                  OUTPUT_FILE ${STAGE_DIR}/${_file} RESULT_VARIABLE _result)
  if(NOT _result EQUAL 0)
    message(FATAL_ERROR "help: ${_file} has text that Windows-1251 cannot hold")
  endif()
endforeach()
execute_process(COMMAND ${CHMCMD} --verbosity 1 help.hhp WORKING_DIRECTORY ${STAGE_DIR}
                RESULT_VARIABLE _result OUTPUT_VARIABLE _log ERROR_VARIABLE _log)
if(NOT _result EQUAL 0 OR NOT EXISTS ${STAGE_DIR}/help.chm)
  message(FATAL_ERROR "help: chmcmd failed:\n${_log}")
endif()
get_filename_component(_output_dir ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${_output_dir})
file(COPY_FILE ${STAGE_DIR}/help.chm ${OUTPUT})
