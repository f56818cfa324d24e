# Installs Kestrun for Windows into one folder that runs as it is
# (cmake --install <build> --prefix <folder>): kestrun.exe; the Qt DLLs it
# links and the plugins Qt loads (platforms/, styles/); the compiler's
# run-time DLLs, which Qt's DLLs and kestrun.exe use; the example document
# under the name an installed copy copies it from (Kestrun.example.xml: a
# Kestrun.xml beside kestrun.exe would make every installed copy a portable
# one); the schema and the keystroke help page. windeployqt cannot run on
# the build machine, so the files are named here.

install(TARGETS kestrun RUNTIME DESTINATION .)

foreach(module Core Gui Widgets Network)
  install(FILES $<TARGET_FILE:Qt6::${module}> DESTINATION .)
endforeach()
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
if(TARGET Qt6::QWindowsVistaStylePlugin)
  install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
endif()

# The compiler knows where its own DLLs are.
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                  OUTPUT_VARIABLE runtime_dll OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${runtime_dll}" OR NOT EXISTS "${runtime_dll}")
    message(FATAL_ERROR "The compiler's run-time DLL ${dll} is not where ${CMAKE_CXX_COMPILER} says: ${runtime_dll}")
  endif()
  install(FILES ${runtime_dll} DESTINATION .)
endforeach()

set(resources ${KESTRUN_SOURCE_ROOT}/resources)
install(FILES ${resources}/Kestrun.xml DESTINATION . RENAME ${KESTRUN_EXAMPLE_NAME})
install(FILES ${resources}/Kestrun.xsd ${resources}/KeystrokesHelp.htm DESTINATION .)
