# dadiz-render: draws every window of the program in the four languages into PNG files.
qt_add_executable(dadiz-render ${CMAKE_CURRENT_LIST_DIR}/render/main.cpp)
target_link_libraries(dadiz-render PRIVATE dadiz_mainwindow dadiz_trendwindow)
# It plays a display on a pseudo-terminal for the doctor's pictures, with the tests' own.
dadiz_include_root(dadiz-render tests/support)
dadiz_use_pch(dadiz_pch_widgets dadiz-render)
