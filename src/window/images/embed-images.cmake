# cmake -DMENU_IMAGE=... -DABOUT_IMAGE=... -DOUTPUT=... -P embed-images.cmake
# Writes a C++ source that holds both files' bytes as constant arrays (window/embedded_images.h).

function(quorvane_byte_array file name out_var)
  file(READ ${file} hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  set(${out_var} "const unsigned char ${name}[${size}] = {\n    ${bytes}};\n" PARENT_SCOPE)
endfunction()

quorvane_byte_array(${MENU_IMAGE} kMenuImageBytes menu)
quorvane_byte_array(${ABOUT_IMAGE} kAboutImageBytes about)

file(WRITE ${OUTPUT}.tmp
"// Generated from src/ui/images by embed-images.cmake; do not edit.
#include \"window/embedded_images.h\"

namespace quorvane::window {
namespace {

${menu}
${about}
}  // namespace

std::span<const unsigned char> MenuImageBytes() { return kMenuImageBytes; }
std::span<const unsigned char> AboutImageBytes() { return kAboutImageBytes; }

}  // namespace quorvane::window
")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
