# Builds Kestrun's Windows installer (resources/kestrun.nsi) from a staging
# folder that `cmake --install` of a Windows build made:
#   cmake -DSTAGE=<folder> -DVERSION=<x.y.z> -DOUTPUT=<setup.exe> -DWORK_DIR=<folder>
#         -P cmake/WindowsInstaller.cmake
# -DQUICK=ON packs fast (zlib) rather than small (LZMA), for the tests.
# The installer installs every file of STAGE; the uninstaller removes exactly
# those files, from a list written here into WORK_DIR with the icon. Needs
# makensis (NSIS 3) and python3.
cmake_minimum_required(VERSION 3.25)

foreach(required STAGE VERSION OUTPUT WORK_DIR)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "WindowsInstaller: -D${required}=... is needed")
  endif()
endforeach()
get_filename_component(STAGE "${STAGE}" ABSOLUTE)
get_filename_component(OUTPUT "${OUTPUT}" ABSOLUTE)
get_filename_component(WORK_DIR "${WORK_DIR}" ABSOLUTE)
set(source_root "${CMAKE_CURRENT_LIST_DIR}/..")

if(NOT VERSION MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
  message(FATAL_ERROR "WindowsInstaller: the version '${VERSION}' is not of the form 1.2.3")
endif()
string(REPLACE "." ";" version4 "${VERSION}")
list(LENGTH version4 parts)
while(parts LESS 4)
  list(APPEND version4 0)
  math(EXPR parts "${parts} + 1")
endwhile()
list(JOIN version4 "." version4)

# These paths go into the script's quoted strings as they are, where a
# quotation mark would end the string and a dollar sign name a variable.
foreach(path STAGE OUTPUT WORK_DIR)
  if("${${path}}" MATCHES "[\"$\n]")
    message(FATAL_ERROR "WindowsInstaller: ${path} '${${path}}' holds a quotation mark, a dollar sign or a line break, "
                        "which the installer's script cannot take; use another folder")
  endif()
endforeach()

if(NOT EXISTS "${STAGE}/kestrun.exe")
  message(FATAL_ERROR "WindowsInstaller: ${STAGE} holds no kestrun.exe (make it with cmake --install)")
endif()
if(EXISTS "${STAGE}/uninstall.exe")
  message(FATAL_ERROR "WindowsInstaller: ${STAGE} holds an uninstall.exe, the name the installer gives the uninstaller")
endif()

file(GLOB_RECURSE stage_files RELATIVE "${STAGE}" "${STAGE}/*")
file(GLOB_RECURSE stage_entries RELATIVE "${STAGE}" LIST_DIRECTORIES true "${STAGE}/*")
set(stage_folders ${stage_entries})
list(REMOVE_ITEM stage_folders ${stage_files})

# One line for each file, then the folders, deepest first, so that each is
# empty when its turn comes (RMDir removes a folder only when it is empty).
set(lines)
set(size 0)
foreach(name IN LISTS stage_files)
  # CMake's lists split a name at a semicolon and its paths turn a
  # backslash into a slash: such a name is found under no name here.
  if(NOT EXISTS "${STAGE}/${name}" OR name MATCHES "[\"<>:|?*\n\r\t]")
    message(FATAL_ERROR "WindowsInstaller: ${STAGE}/${name}: a file name of the installer holds none of "
                        "\" < > : | ? * ; \\ or control characters")
  endif()
  file(SIZE "${STAGE}/${name}" bytes)
  math(EXPR size "${size} + ${bytes}")
  string(REPLACE "$" "$$" escaped "${name}")
  string(REPLACE "/" "\\" escaped "${escaped}")
  list(APPEND lines "Delete \"$INSTDIR\\${escaped}\"")
endforeach()
list(SORT stage_folders)
list(REVERSE stage_folders)
foreach(name IN LISTS stage_folders)
  string(REPLACE "$" "$$" escaped "${name}")
  string(REPLACE "/" "\\" escaped "${escaped}")
  list(APPEND lines "RMDir \"$INSTDIR\\${escaped}\"")
endforeach()
math(EXPR size_kb "(${size} + 1023) / 1024")

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
list(JOIN lines "\n" text)
file(WRITE "${WORK_DIR}/uninstall-files.nsh" "; Written by cmake/WindowsInstaller.cmake from ${STAGE}\n${text}\n")

find_program(python python3 REQUIRED)
execute_process(
  COMMAND "${python}" "${source_root}/cmake/png-icon.py" "${WORK_DIR}/kestrun.ico"
          "${source_root}/resources/kestrun-16.png" "${source_root}/resources/kestrun-32.png"
          "${source_root}/resources/kestrun-48.png"
  COMMAND_ERROR_IS_FATAL ANY)

find_program(makensis makensis)
if(NOT makensis)
  message(FATAL_ERROR "WindowsInstaller: makensis is missing (the Debian package nsis; scripts/install-deps.sh installs it)")
endif()
get_filename_component(output_folder "${OUTPUT}" DIRECTORY)
file(MAKE_DIRECTORY "${output_folder}")
# Written beside the target and renamed into place: a failed build leaves no
# half installer under the final name.
set(partial "${OUTPUT}.partial")
set(quick)
if(QUICK)
  set(quick -DQUICK_COMPRESSION)
endif()
file(REMOVE "${partial}")
execute_process(
  COMMAND "${makensis}" -V2 -WX -INPUTCHARSET UTF8
          "-DVERSION=${VERSION}" "-DVERSION4=${version4}" "-DSTAGE=${STAGE}" "-DWORK=${WORK_DIR}"
          "-DOUTFILE=${partial}" "-DSIZE_KB=${size_kb}" ${quick}
          "${source_root}/resources/kestrun.nsi"
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${partial}")
  message(FATAL_ERROR "WindowsInstaller: makensis failed (${status})")
endif()
file(RENAME "${partial}" "${OUTPUT}")
message(STATUS "WindowsInstaller: ${OUTPUT}")
