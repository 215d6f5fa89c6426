# The web remote's build: Boost.Beast/Asio and nlohmann-json (both header-only, from Debian) and
# the page embedded as a generated source.
#
# Both libraries live in the build machine's /usr/include, which must not reach a cross compiler's
# include path (it would shadow MinGW's own C headers): the web layer sees a folder holding nothing but
# links to the two library folders.
find_path(QUORVANE_BOOST_DIR boost/beast.hpp
  PATHS /usr/include /usr/local/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
find_path(QUORVANE_JSON_DIR nlohmann/json.hpp
  PATHS /usr/include /usr/local/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT QUORVANE_BOOST_DIR OR NOT QUORVANE_JSON_DIR)
  message(FATAL_ERROR "the web remote needs Debian's libboost-dev and nlohmann-json3-dev (scripts/setup)")
endif()
set(QUORVANE_WEB_HEADERS ${CMAKE_BINARY_DIR}/web_headers CACHE INTERNAL "Boost and nlohmann-json, alone")
file(MAKE_DIRECTORY ${QUORVANE_WEB_HEADERS})
if(NOT EXISTS ${QUORVANE_WEB_HEADERS}/boost)
  file(CREATE_LINK ${QUORVANE_BOOST_DIR}/boost ${QUORVANE_WEB_HEADERS}/boost SYMBOLIC)
endif()
if(NOT EXISTS ${QUORVANE_WEB_HEADERS}/nlohmann)
  file(CREATE_LINK ${QUORVANE_JSON_DIR}/nlohmann ${QUORVANE_WEB_HEADERS}/nlohmann SYMBOLIC)
endif()
target_include_directories(quorvane_web SYSTEM PRIVATE ${QUORVANE_WEB_HEADERS})
# GCC warns that ThreadSanitizer does not model the fences inside Asio, and at -O3, with Asio's
# scheduler inlined, of a null pointer the scheduler never holds; neither warning is an error.
set(QUORVANE_WEB_OPTIONS $<$<CXX_COMPILER_ID:GNU>:-Wno-tsan>
  $<$<CXX_COMPILER_ID:GNU>:-Wno-null-dereference> CACHE INTERNAL "")
target_compile_options(quorvane_web PRIVATE ${QUORVANE_WEB_OPTIONS})
if(WIN32)
  target_compile_definitions(quorvane_web PRIVATE _WIN32_WINNT=0x0601)
  target_link_libraries(quorvane_web PUBLIC ws2_32 mswsock)
endif()

# The QR encoder and the keep-awake fallback come from the npm registry, pinned by
# package-lock.json; Debian's gzip compresses the page.
set(QUORVANE_QRCODE_JS ${CMAKE_SOURCE_DIR}/node_modules/qrcode-generator/dist/qrcode.js)
set(QUORVANE_NOSLEEP_JS ${CMAKE_SOURCE_DIR}/node_modules/nosleep.js/dist/NoSleep.min.js)
if(NOT EXISTS ${QUORVANE_QRCODE_JS} OR NOT EXISTS ${QUORVANE_NOSLEEP_JS})
  find_program(QUORVANE_NPM npm REQUIRED)
  execute_process(COMMAND ${QUORVANE_NPM} ci --no-audit --no-fund
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} RESULT_VARIABLE npm_result)
  if(NOT npm_result EQUAL 0 OR NOT EXISTS ${QUORVANE_QRCODE_JS} OR NOT EXISTS ${QUORVANE_NOSLEEP_JS})
    message(FATAL_ERROR "npm ci failed: the web page's QR encoder or keep-awake fallback is missing")
  endif()
endif()
find_program(QUORVANE_GZIP gzip REQUIRED)

set(QUORVANE_WEB_DIR ${CMAKE_SOURCE_DIR}/web)
set(QUORVANE_WEB_PAGE_CPP ${CMAKE_CURRENT_BINARY_DIR}/web_page_bytes.cpp)
add_custom_command(OUTPUT ${QUORVANE_WEB_PAGE_CPP}
  COMMAND ${CMAKE_COMMAND} -DPAGE_DIR=${QUORVANE_WEB_DIR} -DQRCODE_JS=${QUORVANE_QRCODE_JS}
    -DNOSLEEP_JS=${QUORVANE_NOSLEEP_JS} -DGZIP=${QUORVANE_GZIP}
    -DOUTPUT=${QUORVANE_WEB_PAGE_CPP} -P ${CMAKE_SOURCE_DIR}/cmake/EmbedWebPage.cmake
  DEPENDS ${QUORVANE_WEB_DIR}/index.html ${QUORVANE_WEB_DIR}/style.css ${QUORVANE_WEB_DIR}/app.js
    ${QUORVANE_QRCODE_JS} ${QUORVANE_NOSLEEP_JS} ${CMAKE_SOURCE_DIR}/cmake/EmbedWebPage.cmake
  COMMENT "Embedding the web remote's page")
target_sources(quorvane_web PRIVATE ${QUORVANE_WEB_PAGE_CPP})
