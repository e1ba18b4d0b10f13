# kpl_add_module(NAME SOURCES...): a plug-in module NAME.kpl that exports the twenty calls
# and nothing else.
function(kpl_add_module name)
  add_library(${name} SHARED ${ARGN} $<TARGET_OBJECTS:kplsupport_exports>)
  target_link_libraries(${name} PRIVATE kplsupport kplplatform)
  set_target_properties(${name} PROPERTIES PREFIX "" SUFFIX ".kpl")
  target_link_options(${name} PRIVATE
    -Wl,--version-script=${PROJECT_SOURCE_DIR}/support/exports.map
    -Wl,--no-undefined -Wl,--gc-sections)
  target_compile_options(${name} PRIVATE -ffunction-sections -fdata-sections)
  set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/support/exports.map)
endfunction()
