# Builds the demo game's archives into ${VELMORA_DEMO_DIR} with velmora-pack.
file(GLOB VELMORA_DEMO_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/demo/scripts/*.txt)
add_custom_command(
  OUTPUT ${VELMORA_DEMO_DIR}/vk_data.vrk
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_DEMO_DIR}
  COMMAND velmora-pack script ${CMAKE_SOURCE_DIR}/demo/scripts ${VELMORA_DEMO_DIR}/vk_data.vrk
  DEPENDS velmora-pack ${VELMORA_DEMO_SCRIPTS}
  COMMENT "Packing the demo scripts")
add_custom_target(demo ALL DEPENDS ${VELMORA_DEMO_DIR}/vk_data.vrk)
