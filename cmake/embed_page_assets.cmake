# Writes the inspector's page style and script into a C++ source, byte for byte, as character
# arrays: run at build time on the build host (cmake -P, no other tool), so it serves the
# native and the cross builds alike.
#
#   cmake -DSTYLE=page.css -DSCRIPT=page.js -DOUTPUT=page_assets.cpp -P embed_page_assets.cmake
#
# A file that holds its own end tag ("</style" or "</script", in any letter case) would end
# the block early in every page: the build stops instead.
foreach(variable STYLE SCRIPT OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "embed_page_assets.cmake: ${variable} not given")
  endif()
endforeach()

# The C++ definition of `function`, returning the bytes of `file` as a string_view.
function(plc_embed_asset function file end_tag result)
  file(READ "${file}" text)
  string(TOLOWER "${text}" lower)
  string(FIND "${lower}" "${end_tag}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "${file} holds \"${end_tag}\", which would end its block in the page")
  endif()
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  # Sixteen bytes a line (CMake's expressions know no repeat count).
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REPEAT "0x[0-9a-f][0-9a-f]," 16 line)
  string(REGEX REPLACE "(${line})" "\\1\n    " bytes "${bytes}")
  set(${result} "std::string_view ${function}() {
    static const char bytes[${size} + 1] = {
    ${bytes}0};
    return {bytes, ${size}};
}
" PARENT_SCOPE)
endfunction()

plc_embed_asset(pageStyle "${STYLE}" "</style" style)
plc_embed_asset(pageScript "${SCRIPT}" "</script" script)

cmake_path(GET STYLE FILENAME style_name)
cmake_path(GET SCRIPT FILENAME script_name)
file(WRITE "${OUTPUT}" "// Written by cmake/embed_page_assets.cmake from ${style_name} and ${script_name}: do not edit.
#include \"common/page_assets.h\"

namespace plcinfo {

${style}
${script}
} // namespace plcinfo
")
