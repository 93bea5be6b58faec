# velkin_add_patch(): a patch installer made at build time by the native packer.
#
#   velkin_add_patch(NAME <target> STUB <stub.exe or stub target> SRC <dir> OUTPUT <file.exe>
#                    [SCRIPT <file>] [BACKGROUND <file>] [PAYLOADS <n>=<file>...]
#                    [SCRIPT_ENCODING auto|cp932|utf-8] [DEPENDS <targets or files>...])
#
# SRC holds script.txt, background.bmp and the payload files (relative to the current source
# folder unless absolute); OUTPUT is relative to the current binary folder unless absolute.
# The patch is rebuilt when the stub, the script, the picture or a payload changes: the packer
# writes a depfile of everything it packed. Files that SRC makes at build time (generated
# payloads) go into DEPENDS.
#
# The packer: a native build that has the velkinpack target uses it. A cross build (the win64
# and win32 presets) runs a packer built for this machine, named by the cache variable
#   VP_NATIVE_PACKER=<native build>/velkinpack   (e.g. build/native/velkinpack)
# which cross builds default to build/native/velkinpack of this source tree.
include_guard(GLOBAL)

if(CMAKE_CROSSCOMPILING)
  get_filename_component(_vp_default_packer "${CMAKE_CURRENT_LIST_DIR}/../build/native/velkinpack" ABSOLUTE)
else()
  set(_vp_default_packer "")
endif()
set(VP_NATIVE_PACKER "${_vp_default_packer}" CACHE FILEPATH "velkinpack built for this machine, run by cross builds")

function(velkin_add_patch)
  cmake_parse_arguments(PARSE_ARGV 0 VP "" "NAME;STUB;SRC;OUTPUT;SCRIPT;BACKGROUND;SCRIPT_ENCODING" "PAYLOADS;DEPENDS")
  foreach(required NAME STUB SRC OUTPUT)
    if(NOT VP_${required})
      message(FATAL_ERROR "velkin_add_patch: ${required} is missing")
    endif()
  endforeach()
  if(VP_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "velkin_add_patch(${VP_NAME}): unknown arguments ${VP_UNPARSED_ARGUMENTS}")
  endif()

  if(VP_NATIVE_PACKER)
    set(packer "${VP_NATIVE_PACKER}")
    set(packer_depends "${VP_NATIVE_PACKER}")
  elseif(TARGET velkinpack AND NOT CMAKE_CROSSCOMPILING)
    set(packer "$<TARGET_FILE:velkinpack>")
    set(packer_depends velkinpack)
  else()
    message(FATAL_ERROR "velkin_add_patch(${VP_NAME}): this build cannot run its own packer. Build the native "
                        "preset first and configure with -DVP_NATIVE_PACKER=<native build>/velkinpack")
  endif()

  if(TARGET ${VP_STUB})
    set(stub "$<TARGET_FILE:${VP_STUB}>")
    set(stub_depends ${VP_STUB})
  else()
    get_filename_component(stub "${VP_STUB}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    set(stub_depends "${stub}")
  endif()
  get_filename_component(src "${VP_SRC}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  get_filename_component(output "${VP_OUTPUT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_BINARY_DIR}")
  set(depfile "${CMAKE_CURRENT_BINARY_DIR}/${VP_NAME}.patch.d")

  set(options "")
  foreach(file IN ITEMS SCRIPT BACKGROUND)
    if(VP_${file})
      string(TOLOWER "${file}" option)
      get_filename_component(path "${VP_${file}}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
      list(APPEND options "--${option}" "${path}")
    endif()
  endforeach()
  foreach(payload IN LISTS VP_PAYLOADS)
    string(REGEX MATCH "^([0-9]+)=(.+)$" matched "${payload}")
    if(NOT matched)
      message(FATAL_ERROR "velkin_add_patch(${VP_NAME}): PAYLOADS takes <n>=<file>, not ${payload}")
    endif()
    get_filename_component(path "${CMAKE_MATCH_2}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
    list(APPEND options "--payload" "${CMAKE_MATCH_1}=${path}")
  endforeach()
  if(VP_SCRIPT_ENCODING)
    list(APPEND options "--script-encoding" "${VP_SCRIPT_ENCODING}")
  endif()

  add_custom_command(OUTPUT "${output}"
    COMMAND "${packer}" build "${src}" -o "${output}" --stub "${stub}" --depfile "${depfile}" --quiet ${options}
    DEPENDS ${packer_depends} ${stub_depends} ${VP_DEPENDS}
    DEPFILE "${depfile}"
    COMMENT "Packing the patch ${VP_NAME}"
    VERBATIM)
  add_custom_target(${VP_NAME} ALL DEPENDS "${output}")
endfunction()
