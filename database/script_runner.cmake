# The script runner (included by database/CMakeLists.txt): loads the script library at run
# time, so it links only the library's binary contract, not the library.
if(CMAKE_CROSSCOMPILING)
  set(_script_library_platform script_library_win.cpp)
else()
  set(_script_library_platform script_library_posix.cpp)
endif()
add_library(xqv_script_runner STATIC script_runner.cpp ${_script_library_platform})
target_include_directories(xqv_script_runner PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(xqv_script_runner PUBLIC xqv_database xqv_sqlscript_api xqv_core)
