# Checks the built help.chm: the compiled-help signature, every page of the help folder inside,
# and the pages' Russian text in Windows-1251.
# Called as: cmake -DCHM=... -DCHMLS=... -DHELP_DIR=... -DWORK_DIR=... -P
file(READ ${CHM} _signature LIMIT 4 HEX)
if(NOT _signature STREQUAL "49545346") # "ITSF"
  message(FATAL_ERROR "${CHM} does not start with ITSF: ${_signature}")
endif()

execute_process(COMMAND ${CHMLS} -n list ${CHM} OUTPUT_VARIABLE _listing RESULT_VARIABLE _result)
if(NOT _result EQUAL 0)
  message(FATAL_ERROR "chmls cannot read ${CHM}")
endif()
file(GLOB _pages RELATIVE ${HELP_DIR} ${HELP_DIR}/*.htm)
foreach(_page IN LISTS _pages ITEMS toc.hhc keywords.hhk)
  string(FIND "${_listing}" "/${_page}\n" _at)
  if(_at EQUAL -1)
    message(FATAL_ERROR "${_page} is missing from ${CHM}")
  endif()
endforeach()

# "Ход обновления", the title of the run page, in Windows-1251.
execute_process(COMMAND ${CHMLS} extract ${CHM} /run.htm ${WORK_DIR}/run.htm
                OUTPUT_QUIET RESULT_VARIABLE _result)
file(READ ${WORK_DIR}/run.htm _bytes HEX)
string(FIND "${_bytes}" "d5eee420eee1edeee2ebe5ede8ff" _at)
if(NOT _result EQUAL 0 OR _at EQUAL -1)
  message(FATAL_ERROR "run.htm inside ${CHM} is not Windows-1251 text")
endif()
