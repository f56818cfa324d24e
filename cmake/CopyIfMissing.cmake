# Copies SOURCE to DESTINATION unless DESTINATION already exists, so that a
# rebuild never overwrites a document the user has changed.
if(NOT EXISTS "${DESTINATION}")
  configure_file("${SOURCE}" "${DESTINATION}" COPYONLY)
endif()
