# Run with cmake -P: inlines the page's style, script and the QR encoder into its HTML and writes
# a C++ source that returns it. Variables: PAGE_DIR, QRCODE_JS, OUTPUT.
file(READ ${PAGE_DIR}/index.html page)
file(READ ${PAGE_DIR}/style.css style)
file(READ ${PAGE_DIR}/app.js app)
file(READ ${QRCODE_JS} qrcode)
string(REPLACE "/*STYLE*/" "${style}" page "${page}")
string(REPLACE "/*QRCODE*/" "${qrcode}" page "${page}")
string(REPLACE "/*APP*/" "${app}" page "${page}")
# As bytes rather than one string literal: the page is longer than the literals compilers are
# required to take (clang refuses it under -Wpedantic).
file(WRITE ${OUTPUT}.html "${page}")
file(READ ${OUTPUT}.html bytes HEX)
file(REMOVE ${OUTPUT}.html)
string(LENGTH "${bytes}" hex_length)
math(EXPR size "${hex_length} / 2")
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${bytes}")
# About a hundred bytes a line, so the generated file stays readable by tools.
string(REGEX REPLACE "((0x[0-9a-f][0-9a-f],){100})" "\\1\n" bytes "${bytes}")
file(WRITE ${OUTPUT}.tmp "// Generated from web/ by cmake/EmbedWebPage.cmake; do not edit.\n"
  "#include \"web/web_page.h\"\n\nnamespace quorvane::web {\nnamespace {\n\n"
  "constexpr unsigned char kPage[${size}] = {\n${bytes}\n};\n\n}  // namespace\n\n"
  "std::string_view WebPage() {\n"
  "  return std::string_view(reinterpret_cast<const char*>(kPage), sizeof kPage);\n}\n\n"
  "}  // namespace quorvane::web\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
