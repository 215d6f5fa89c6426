# The window's two pictures, compiled into the extension's read-only data (Windows only: nothing
# else draws them). The bytes become a C++ source in the build tree whenever a picture changes.
if(WIN32)
  set(QUORVANE_IMAGE_DIR ${CMAKE_CURRENT_LIST_DIR}/images)
  set(QUORVANE_IMAGE_SOURCE ${CMAKE_CURRENT_BINARY_DIR}/embedded_images.cpp)
  add_custom_command(OUTPUT ${QUORVANE_IMAGE_SOURCE}
    COMMAND ${CMAKE_COMMAND}
      -DMENU_IMAGE=${QUORVANE_IMAGE_DIR}/menu.png
      -DABOUT_IMAGE=${QUORVANE_IMAGE_DIR}/about.jpg
      -DOUTPUT=${QUORVANE_IMAGE_SOURCE}
      -P ${QUORVANE_IMAGE_DIR}/embed-images.cmake
    DEPENDS ${QUORVANE_IMAGE_DIR}/menu.png ${QUORVANE_IMAGE_DIR}/about.jpg
      ${QUORVANE_IMAGE_DIR}/embed-images.cmake
    COMMENT "Embedding the window's pictures"
    VERBATIM)
  target_sources(quorvane_window PRIVATE ${QUORVANE_IMAGE_SOURCE})
endif()
