# Writes OUTPUT, a C++ source that holds resource files as byte strings, and the tables
# EmbeddedBitmaps and EmbeddedIcons that list them by id (declared in embedded_files.h).
# Runs at build time:
#   cmake -DFOLDER=dir -DBITMAPS=188,190,... -DICONS=101 -DOUTPUT=file.cpp -P embed_files.cmake
# Bitmap <id> is FOLDER/<id>.bmp, icon group <id> is FOLDER/<id>.ico.
cmake_minimum_required(VERSION 3.20)

# One file as a string literal of \x escapes, 32 bytes to a line.
function(escaped_literal file out_var)
  file(READ "${file}" hex HEX)
  string(REPEAT "." 64 line_of_hex)
  string(REGEX REPLACE "(${line_of_hex})" "\\1\n" hex "${hex}")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${hex}")
  string(REPLACE "\n" "\"\n    \"" escaped "${escaped}")
  set(${out_var} "${escaped}" PARENT_SCOPE)
endfunction()

# Appends the byte strings of one kind of resource to arrays_var and its table to tables_var.
function(embed_kind kind extension ids arrays_var tables_var)
  set(kind_arrays "")
  set(kind_entries "")
  string(REPLACE "," ";" ids "${ids}")
  foreach(id IN LISTS ids)
    set(file "${FOLDER}/${id}.${extension}")
    if(NOT EXISTS "${file}")
      message(FATAL_ERROR "missing resource file ${file}")
    endif()
    file(SIZE "${file}" size)
    escaped_literal("${file}" literal)
    string(APPEND kind_arrays "// ${id}.${extension}\n"
           "static const unsigned char ${kind}${id}[] =\n    \"${literal}\";\n\n")
    string(APPEND kind_entries "    {${id}, ${kind}${id}, ${size}},\n")
  endforeach()
  list(LENGTH ids count)
  set(${arrays_var} "${${arrays_var}}${kind_arrays}" PARENT_SCOPE)
  string(CONCAT table "const ResourceBlob Embedded${kind}s[] = {\n${kind_entries}};\n"
         "const std::size_t Embedded${kind}Count = ${count};\n\n")
  set(${tables_var} "${${tables_var}}${table}" PARENT_SCOPE)
endfunction()

set(arrays "")
set(tables "")
embed_kind(Bitmap bmp "${BITMAPS}" arrays tables)
embed_kind(Icon ico "${ICONS}" arrays tables)
string(CONCAT source "// Made from the files in resources/ by embed_files.cmake at build time.\n"
       "#include \"resources/embedded_files.h\"\n\n" "${arrays}" "${tables}")
# Written under another name first, so that an interrupted build leaves no half source behind.
file(WRITE "${OUTPUT}.part" "${source}")
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
