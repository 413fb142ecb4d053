# cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P EmbedFile.cmake
# Writes a C++ source holding the bytes of INPUT as `const unsigned char
# SYMBOL[]` and their count as `const std::size_t SYMBOL##Size`, so that data
# is built into the program on every platform without a resource compiler.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" digits)
math(EXPR size "${digits} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}"
  "// Generated from ${INPUT} by cmake/EmbedFile.cmake; do not edit.\n"
  "#include <cstddef>\n"
  "extern const unsigned char ${SYMBOL}[];\n"
  "extern const std::size_t ${SYMBOL}Size;\n"
  "const unsigned char ${SYMBOL}[] = {\n${bytes}\n};\n"
  "const std::size_t ${SYMBOL}Size = ${size};\n")
