# Every system DLL but kernel32 (and the C runtime, which mingw-w64 programs
# bind at load time) is a delayed import, so that the DLL-search hardening
# at the top of wWinMain runs before any of them loads.
set(LITE_DELAY_LOADED_DLLS
  user32 gdi32 msimg32 advapi32 shell32 shlwapi ole32 oleaut32 comctl32
  uxtheme gdiplus version winmm userenv wininet winhttp crypt32 wintrust
  oleacc)

set(LITE_DELAY_LIBS)
foreach(dll ${LITE_DELAY_LOADED_DLLS})
  set(out ${CMAKE_BINARY_DIR}/delayimp/lib${dll}_delay.a)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/delayimp
    COMMAND ${CMAKE_SOURCE_DIR}/cmake/make_delay_import_lib.sh ${TRIPLE} ${dll} ${out}
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/make_delay_import_lib.sh
    VERBATIM)
  list(APPEND LITE_DELAY_LIBS ${out})
endforeach()
add_custom_target(delay_import_libs DEPENDS ${LITE_DELAY_LIBS})

# The delay-import libraries must come after every static library that may
# call into a system DLL (our own, jansson, libstdc++) and before the
# default import libraries, or the linker binds such calls at load time.
# CMake puts the standard libraries last, after all transitive ones, so the
# delay libraries go at their head, for the targets of the calling directory.
string(REPLACE ";" " " LITE_DELAY_LINK_FLAGS "${LITE_DELAY_LIBS}")
macro(lite_use_delay_imports_in_this_directory)
  set(CMAKE_CXX_STANDARD_LIBRARIES
      "${LITE_DELAY_LINK_FLAGS} -ldelayimp ${CMAKE_CXX_STANDARD_LIBRARIES}")
  set(CMAKE_C_STANDARD_LIBRARIES
      "${LITE_DELAY_LINK_FLAGS} -ldelayimp ${CMAKE_C_STANDARD_LIBRARIES}")
endmacro()

# Makes sure the delay-import libraries exist before |target| links.
function(lite_link_delay_imports target)
  add_dependencies(${target} delay_import_libs)
endfunction()
