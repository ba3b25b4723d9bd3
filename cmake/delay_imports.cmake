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

# Links |target| against the delay-import libraries ahead of the compiler's
# default import libraries, so that the delayed ones win.
function(lite_link_delay_imports target)
  add_dependencies(${target} delay_import_libs)
  target_link_libraries(${target} PRIVATE ${LITE_DELAY_LIBS} delayimp)
endfunction()
