# Writes a C++ source that holds the dialog's image files as byte arrays, so the GTK host
# needs no files beside the program. Usage: embed_images(OUTPUT id=file...)
function(embed_images output)
  set(arrays "")
  set(table "")
  foreach(entry ${ARGN})
    string(REPLACE "=" ";" pair "${entry}")
    list(GET pair 0 id)
    list(GET pair 1 file)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${file})
    file(READ ${file} hex HEX)
    string(LENGTH "${hex}" hex_length)
    math(EXPR size "${hex_length} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n    " bytes "${bytes}")
    string(APPEND arrays "const unsigned char kImage${id}[${size}] = {\n    ${bytes}\n};\n")
    string(APPEND table "    {${id}, kImage${id}, sizeof kImage${id}},\n")
  endforeach()
  set(content "// Generated from sender/dialog/res at configure time: the dialog's images as bytes.
#include \"sender/dialog/images.h\"

namespace dialog {
namespace {
${arrays}
const EmbeddedImage kImages[] = {
${table}};
}  // namespace

const EmbeddedImage* FindEmbeddedImage(int resource_id) {
  for (const EmbeddedImage& image : kImages) {
    if (image.resource_id == resource_id) return &image;
  }
  return nullptr;
}

}  // namespace dialog
")
  file(CONFIGURE OUTPUT ${output} CONTENT "${content}" @ONLY)
endfunction()
