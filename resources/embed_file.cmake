# Writes a header holding a file's bytes as an array: cmake -DINPUT=... -DOUTPUT=...
# -DNAME=... -P embed_file.cmake
file(READ ${INPUT} hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
file(WRITE ${OUTPUT} "// Generated from ${INPUT}; do not edit.\n#pragma once\n\n"
                     "inline constexpr unsigned char ${NAME}[] = {${bytes}};\n")
