# Run with cmake -P: inlines the page's style, script, the QR encoder and the keep-awake fallback
# into its HTML and writes a C++ source that returns it, for a control key and for a view-only
# key (which hides the controls), each also gzip-compressed for browsers that accept it.
# Variables: PAGE_DIR, QRCODE_JS, NOSLEEP_JS, GZIP, OUTPUT.
file(READ ${PAGE_DIR}/index.html page)
file(READ ${PAGE_DIR}/style.css style)
file(READ ${PAGE_DIR}/app.js app)
file(READ ${QRCODE_JS} qrcode)
file(READ ${NOSLEEP_JS} nosleep)
string(REPLACE "/*STYLE*/" "${style}" page "${page}")
string(REPLACE "/*QRCODE*/" "${qrcode}" page "${page}")
string(REPLACE "/*NOSLEEP*/" "${nosleep}" page "${page}")
string(REPLACE "/*APP*/" "${app}" page "${page}")
set(control_mark "data-access=\"control\"")
string(FIND "${page}" "${control_mark}" at)
if(at EQUAL -1)
  message(FATAL_ERROR "web/index.html lacks ${control_mark}")
endif()
string(REPLACE "${control_mark}" "data-access=\"view\"" view_page "${page}")

# One array of bytes per variant: the page is longer than the literals compilers are required to
# take (clang refuses it under -Wpedantic).
set(arrays "")
function(embed name file)
  file(READ ${file} bytes HEX)
  string(LENGTH "${bytes}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
  # About a hundred bytes a line, so the generated file stays readable by tools.
  string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){100})" "\\1\n" bytes "${bytes}")
  set(arrays "${arrays}constexpr unsigned char ${name}[${size}] = {\n${bytes}\n};\n\n" PARENT_SCOPE)
endfunction()
foreach(variant control view)
  if(variant STREQUAL "view")
    set(text "${view_page}")
  else()
    set(text "${page}")
  endif()
  file(WRITE ${OUTPUT}.${variant}.html "${text}")
  # -n: no name or time in the header, so the same page always compresses to the same bytes.
  execute_process(COMMAND ${GZIP} -9nc ${OUTPUT}.${variant}.html
    OUTPUT_FILE ${OUTPUT}.${variant}.html.gz RESULT_VARIABLE gzip_result)
  if(NOT gzip_result EQUAL 0)
    message(FATAL_ERROR "gzip failed on the web page (${gzip_result})")
  endif()
  embed(k_${variant}_plain ${OUTPUT}.${variant}.html)
  embed(k_${variant}_gzip ${OUTPUT}.${variant}.html.gz)
  file(REMOVE ${OUTPUT}.${variant}.html ${OUTPUT}.${variant}.html.gz)
endforeach()

file(WRITE ${OUTPUT}.tmp "// Generated from web/ by cmake/EmbedWebPage.cmake; do not edit.\n"
  "#include \"web/web_page.h\"\n\nnamespace quorvane::web {\nnamespace {\n\n"
  "${arrays}"
  "std::string_view Bytes(const unsigned char* bytes, std::size_t size) {\n"
  "  return std::string_view(reinterpret_cast<const char*>(bytes), size);\n}\n\n"
  "}  // namespace\n\n"
  "std::string_view WebPage(PageAccess access, PageEncoding encoding) {\n"
  "  const bool view = access == PageAccess::kView;\n"
  "  if (encoding == PageEncoding::kGzip) {\n"
  "    return view ? Bytes(k_view_gzip, sizeof k_view_gzip)\n"
  "                : Bytes(k_control_gzip, sizeof k_control_gzip);\n"
  "  }\n"
  "  return view ? Bytes(k_view_plain, sizeof k_view_plain)\n"
  "              : Bytes(k_control_plain, sizeof k_control_plain);\n}\n\n"
  "}  // namespace quorvane::web\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
