# The program's sources under src/, split in two: files named form1*.cpp or
# *_widgets.cpp/.h need Qt Widgets and go into the window library; everything else
# is plain code in the core library that unit tests link. The main build and the
# fuzz build both split them here.
function(azivex_collect_sources src_dir core_var widget_var)
  set(core)
  set(widget)
  foreach(folder platform link map app ui)
    file(GLOB folder_sources CONFIGURE_DEPENDS ${src_dir}/${folder}/*.cpp ${src_dir}/${folder}/*.h)
    foreach(f IN LISTS folder_sources)
      get_filename_component(name ${f} NAME)
      if(name MATCHES "^form1" OR name MATCHES "_widgets\\.(cpp|h)$")
        list(APPEND widget ${f})
      else()
        list(APPEND core ${f})
      endif()
    endforeach()
  endforeach()
  set(${core_var} ${core} PARENT_SCOPE)
  set(${widget_var} ${widget} PARENT_SCOPE)
endfunction()
