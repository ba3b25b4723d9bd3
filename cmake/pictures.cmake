# The installer's pictures: rendered from the SVG sources of
# resources/artwork by render_pictures.py, which fails the build on a
# picture whose size differs from pictures.txt; the generated pictures.rc
# embeds them (RCDATA and icon 1000).
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(LITE_ARTWORK_DIR ${CMAKE_SOURCE_DIR}/resources/artwork)
file(GLOB LITE_PICTURE_SOURCES ${LITE_ARTWORK_DIR}/*.svg)
set(LITE_PICTURES_RC ${CMAKE_BINARY_DIR}/generated/pictures.rc)
add_custom_command(OUTPUT ${LITE_PICTURES_RC}
  COMMAND ${Python3_EXECUTABLE} ${LITE_ARTWORK_DIR}/render_pictures.py
          ${LITE_ARTWORK_DIR} ${CMAKE_BINARY_DIR}/pictures ${LITE_PICTURES_RC}
  DEPENDS ${LITE_PICTURE_SOURCES} ${LITE_ARTWORK_DIR}/pictures.txt
          ${LITE_ARTWORK_DIR}/render_pictures.py
  COMMENT "Rendering the pictures"
  VERBATIM)
add_custom_target(lite_pictures DEPENDS ${LITE_PICTURES_RC})
