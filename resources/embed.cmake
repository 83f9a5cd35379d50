# Turns a binary file into a C++ source that defines the template image bytes.
file(READ ${IN} hex HEX)
string(LENGTH "${hex}" hexlen)
math(EXPR size "${hexlen} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE ${OUT} "// Generated from ${IN}; do not edit.\n#include <cstddef>\nnamespace storage_detail {\nextern const unsigned char kTemplateImage[${size}] = {\n${bytes}\n};\nextern const std::size_t kTemplateImageSize = ${size};\n}\n")
