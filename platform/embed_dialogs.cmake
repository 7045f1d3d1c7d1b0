# Build step: keeps the dialog templates of the compiled resource script (a
# .res file, as windres writes it for Windows) and turns them into a C++ byte
# array in the same .res layout, so that DialogBoxParamA finds them inside
# the binary as Windows finds them in the executable's resources.
# cmake -DINPUT=vantrel.res -DOUTPUT=dialog_resources.cpp -P embed_dialogs.cmake
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")

# The little-endian 32-bit number at byte `offset` of the file.
function(read_dword offset result)
  math(EXPR digit "(${offset}) * 2")
  string(SUBSTRING "${hex}" ${digit} 8 bytes)
  string(REGEX REPLACE "(..)(..)(..)(..)" "\\4\\3\\2\\1" bytes "${bytes}")
  math(EXPR value "0x${bytes}")
  set(${result} ${value} PARENT_SCOPE)
endfunction()

# Each entry: data size, header size, type, name, ..., data, padding to 4 bytes.
set(kept "")
set(offset 0)
while(offset LESS size)
  read_dword(${offset} data_size)
  read_dword(${offset}+4 header_size)
  math(EXPR next "(${offset} + ${header_size} + ${data_size} + 3) / 4 * 4")
  math(EXPR digit "${offset} * 2 + 16")
  string(SUBSTRING "${hex}" ${digit} 8 type)
  if(type STREQUAL "ffff0500") # RT_DIALOG by number
    math(EXPR digit "${offset} * 2")
    math(EXPR length "(${next} - ${offset}) * 2")
    string(SUBSTRING "${hex}" ${digit} ${length} entry)
    string(APPEND kept "${entry}")
  endif()
  set(offset ${next})
endwhile()
if(kept STREQUAL "")
  message(FATAL_ERROR "${INPUT} holds no dialog template")
endif()

string(LENGTH "${kept}" digits)
math(EXPR length "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${kept}")
string(REPEAT "0x..," 16 row)
string(REGEX REPLACE "(${row})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Generated at build time from the compiled resource script; do not edit.\n"
  "#include <stddef.h>\n\n"
  "extern const unsigned char DialogResources[${length}] = {\n${bytes}};\n"
  "extern const size_t DialogResourcesSize = ${length};\n")
