# Build step: turns the BMP resource files into a C++ source of byte arrays,
# so that LoadImageA finds the program's bitmaps inside the binary, as on Windows.
# cmake -DOUTPUT=bitmap_files.cpp -DBITMAPS="128=/path/a.bmp;112=/path/b.bmp" -P embed_bitmaps.cmake
set(source "// Generated at build time from the bitmap resources; do not edit.\n#include \"bitmaps.h\"\n\n")
set(table "")
string(REPEAT "0x..," 16 row)             # one line of the array
foreach(pair IN LISTS BITMAPS)
  string(FIND "${pair}" "=" split)
  string(SUBSTRING "${pair}" 0 ${split} id)
  math(EXPR split "${split} + 1")
  string(SUBSTRING "${pair}" ${split} -1 path)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR length "${digits} / 2")
  if(length EQUAL 0)
    message(FATAL_ERROR "${path} is empty")
  endif()
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(${row})" "\\1\n" bytes "${bytes}")
  string(APPEND source "static const BYTE Bitmap${id}[${length}] = {\n${bytes}};\n\n")
  string(APPEND table "    {${id}, Bitmap${id}, ${length}},\n")
endforeach()
string(APPEND source "extern const EmbeddedBitmap EmbeddedBitmaps[] = {\n${table}    {0, nullptr, 0},\n};\n")
file(WRITE "${OUTPUT}" "${source}")
