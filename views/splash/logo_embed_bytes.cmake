# Turns a binary file into a C++ source holding its bytes:
#   cmake -DINPUT=file -DOUTPUT=file.cpp -DSYMBOL=name -P logo_embed_bytes.cmake
# defines `extern const unsigned char SYMBOL[]` and `extern const std::size_t SYMBOLSize`.
file(READ "${INPUT}" hex HEX)
string(LENGTH "${hex}" hexLength)
math(EXPR size "${hexLength} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Sixteen bytes a line keeps the generated file readable in a debugger.
string(REPEAT "0x..," 16 line)
string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
file(WRITE "${OUTPUT}"
    "// Generated from ${INPUT}; do not edit.\n"
    "#include <cstddef>\n\n"
    "extern const unsigned char ${SYMBOL}[];\n"
    "extern const std::size_t ${SYMBOL}Size;\n\n"
    "alignas(16) const unsigned char ${SYMBOL}[] = {\n    ${bytes}\n};\n"
    "const std::size_t ${SYMBOL}Size = ${size};\n")
