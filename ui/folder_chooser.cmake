# The folder chooser: its dialog, the shell folder tree and the shell helpers.
list(APPEND XQV_UI_SOURCES ${CMAKE_CURRENT_LIST_DIR}/folder_chooser.cpp
     ${CMAKE_CURRENT_LIST_DIR}/folder_chooser_tree.cpp
     ${CMAKE_CURRENT_LIST_DIR}/folder_chooser_shell.cpp)
list(APPEND XQV_UI_LIBRARIES comctl32 ole32 shell32 uuid)
