# Run with cmake -P: inlines the page's style, script and the QR encoder into its HTML and writes
# a C++ source that returns it. Variables: PAGE_DIR, QRCODE_JS, OUTPUT.
file(READ ${PAGE_DIR}/index.html page)
file(READ ${PAGE_DIR}/style.css style)
file(READ ${PAGE_DIR}/app.js app)
file(READ ${QRCODE_JS} qrcode)
string(REPLACE "/*STYLE*/" "${style}" page "${page}")
string(REPLACE "/*QRCODE*/" "${qrcode}" page "${page}")
string(REPLACE "/*APP*/" "${app}" page "${page}")
string(FIND "${page}" ")QVPAGE\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "the page contains the raw string's closing sequence")
endif()
file(WRITE ${OUTPUT}.tmp "// Generated from web/ by cmake/EmbedWebPage.cmake; do not edit.\n"
  "#include \"web/web_page.h\"\n\nnamespace quorvane::web {\n\n"
  "std::string_view WebPage() {\n  static constexpr std::string_view kPage = R\"QVPAGE(${page})QVPAGE\";\n"
  "  return kPage;\n}\n\n}  // namespace quorvane::web\n")
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
