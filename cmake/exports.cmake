# The DLL's exports, from launch/exports.inc: the declarations are compiled
# with clang for each architecture's MSVC C++ ABI, and the decorated names
# read back with llvm-nm in the order they were defined.
find_program(HVQ_CLANGXX clang++ REQUIRED)
find_program(HVQ_LLVM_NM llvm-nm REQUIRED)

# Sets HVQ_<arch>_ORDINALS, _INTERNALS, _HEADERS and _SYMBOLS: the exports
# of one architecture (a NAME of cmake/architectures.cmake), in the list's
# order.
function(hvq_read_exports arch)
  set(list ${PROJECT_SOURCE_DIR}/launch/exports.inc)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${list})
  file(STRINGS ${list} lines REGEX "^HVQ_EXPORT\\(")
  set(work ${PROJECT_BINARY_DIR}/exports/${arch})
  file(MAKE_DIRECTORY ${work})
  set(probe "#define HVQ_EXPORT(ordinal, archs, internal, header, declaration)\n")
  string(APPEND probe "#include \"${list}\"\n")
  set(ordinals)
  set(internals)
  set(headers)
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^HVQ_EXPORT\\(([0-9]+), ([a-z0-9 ]+), ([A-Za-z0-9_-]+), ([A-Z0-9_-]+), (.*)\\)$")
      message(FATAL_ERROR "exports.inc: cannot read: ${line}")
    endif()
    set(declaration "${CMAKE_MATCH_5}")
    string(REPLACE " " ";" archs "${CMAKE_MATCH_2}")
    if(arch IN_LIST archs)
      list(APPEND ordinals ${CMAKE_MATCH_1})
      list(APPEND internals ${CMAKE_MATCH_3})
      list(APPEND headers ${CMAKE_MATCH_4})
      string(APPEND probe "${declaration} {}\n")
    endif()
  endforeach()
  file(WRITE ${work}/probe.cpp "${probe}")
  hvq_architecture(NAME ${arch})
  execute_process(
    COMMAND ${HVQ_CLANGXX} --target=${HVQ_ARCH_MSVC} -fno-exceptions -Wno-return-type -c probe.cpp
            -o probe.obj
    COMMAND_ERROR_IS_FATAL ANY WORKING_DIRECTORY ${work})
  execute_process(COMMAND ${HVQ_LLVM_NM} --defined-only --numeric-sort --format=just-symbols
                          probe.obj
    OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY WORKING_DIRECTORY ${work})
  string(REGEX REPLACE "@feat.00\n" "" symbols "${symbols}")
  string(STRIP "${symbols}" symbols)
  string(REPLACE "\n" ";" symbols "${symbols}")
  list(LENGTH symbols count)
  list(LENGTH ordinals wanted)
  if(NOT count EQUAL wanted)
    message(FATAL_ERROR "exports.inc: ${wanted} exports for ${arch}, ${count} names: ${symbols}")
  endif()
  foreach(part ORDINALS INTERNALS HEADERS SYMBOLS)
    string(TOLOWER ${part} name)
    set(HVQ_${arch}_${part} "${${name}}" PARENT_SCOPE)
  endforeach()
endfunction()

# Writes a file only when its text changes, so that nothing rebuilds for
# nothing.
function(hvq_write_if_changed path text)
  file(WRITE ${path}.new "${text}")
  configure_file(${path}.new ${path} COPYONLY)
endfunction()

# The .def files of one architecture (after hvq_read_exports of it):
#   HVQ_LINK_DEF: the .def the DLL is linked with (EXPORT = INTERNAL @N)
#   HVQ_DIST_DEF: the .def hosts get, and the import libraries are made
#                 from (x86 stdcall names carry @N)
function(hvq_write_defs arch)
  set(link "LIBRARY hvqlaunch.dll\nEXPORTS\n")
  set(dist "LIBRARY hvqlaunch.dll\nEXPORTS\n")
  foreach(symbol ordinal internal IN ZIP_LISTS HVQ_${arch}_SYMBOLS HVQ_${arch}_ORDINALS
          HVQ_${arch}_INTERNALS)
    if(symbol MATCHES "^\\?")  # a C++ name: the DLL's own function behind it
      set(name "${symbol}")
      set(dist_name "${symbol}")
    elseif(symbol MATCHES "^_([A-Za-z0-9_]+)(@[0-9]+)$")  # x86 stdcall: _Name@N
      set(name "${CMAKE_MATCH_1}")
      set(internal "${CMAKE_MATCH_1}${CMAKE_MATCH_2}")
      set(dist_name "${internal}")
    else()
      set(name "${symbol}")
      set(internal "${symbol}")
      set(dist_name "${symbol}")
    endif()
    if(name STREQUAL internal)
      string(APPEND link "  ${name} @${ordinal}\n")
    else()
      string(APPEND link "  ${name} = ${internal} @${ordinal}\n")
    endif()
    string(APPEND dist "  ${dist_name} @${ordinal}\n")
  endforeach()
  set(work ${PROJECT_BINARY_DIR}/exports)
  hvq_write_if_changed(${work}/hvqlaunch-link.def "${link}")
  hvq_write_if_changed(${work}/hvqlaunch.def "${dist}")
  set(HVQ_LINK_DEF ${work}/hvqlaunch-link.def PARENT_SCOPE)
  set(HVQ_DIST_DEF ${work}/hvqlaunch.def PARENT_SCOPE)
endfunction()

# Sets HVQ_HEADER_EXPORTS: the public header's decorated names and ordinals
# as macros (after hvq_read_exports of every architecture): x86's, and
# under _WIN64 x64's, which every other 64-bit architecture must share, as
# the MSVC C++ ABI decorates them all alike.
function(hvq_header_exports)
  foreach(arch IN LISTS HVQ_ARCH_NAMES)
    if(NOT arch STREQUAL x86 AND NOT (HVQ_${arch}_SYMBOLS STREQUAL HVQ_x64_SYMBOLS AND
                                      HVQ_${arch}_ORDINALS STREQUAL HVQ_x64_ORDINALS))
      message(FATAL_ERROR "exports.inc: ${arch}'s exports differ from x64's, which the header gives every 64-bit architecture")
    endif()
  endforeach()
  set(names_x64)
  set(names_x86)
  set(only_x86)
  set(both)
  foreach(symbol ordinal header IN ZIP_LISTS HVQ_x86_SYMBOLS HVQ_x86_ORDINALS HVQ_x86_HEADERS)
    if(header STREQUAL "-")
      continue()
    endif()
    if(symbol MATCHES "^\\?")
      string(APPEND names_x86 "#define HVQ_${header}_NAME \"${symbol}\"\n")
    endif()
    if(ordinal IN_LIST HVQ_x64_ORDINALS)
      string(APPEND both "#define HVQ_${header}_ORDINAL ${ordinal}\n")
    else()
      string(APPEND only_x86 "#define HVQ_${header}_ORDINAL ${ordinal}\n")
    endif()
  endforeach()
  foreach(symbol header IN ZIP_LISTS HVQ_x64_SYMBOLS HVQ_x64_HEADERS)
    if(NOT header STREQUAL "-" AND symbol MATCHES "^\\?")
      string(APPEND names_x64 "#define HVQ_${header}_NAME \"${symbol}\"\n")
    endif()
  endforeach()
  string(STRIP "${both}" both)
  set(HVQ_HEADER_EXPORTS
    "#ifdef _WIN64\n${names_x64}#else\n${names_x86}${only_x86}#endif\n${both}" PARENT_SCOPE)
endfunction()
