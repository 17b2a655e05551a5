# Builds the demo game's archives into ${VELMORA_DEMO_DIR} with velmora-pack.
file(GLOB VELMORA_DEMO_SCRIPTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/demo/scripts/*.txt)
add_custom_command(
  OUTPUT ${VELMORA_DEMO_DIR}/vk_data.vrk
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_DEMO_DIR}
  COMMAND velmora-pack script ${CMAKE_SOURCE_DIR}/demo/scripts ${VELMORA_DEMO_DIR}/vk_data.vrk
  DEPENDS velmora-pack ${VELMORA_DEMO_SCRIPTS}
  COMMENT "Packing the demo scripts")

# The demo's sounds: synthesised as WAV at build time, then coded and packed
# into the sound-effect, voice and music volumes; the engine's own sounds
# (SSE01 ...) go with the effects.
add_executable(velmora-demo-sounds ${CMAKE_SOURCE_DIR}/demo/sounds/make_sounds.cpp)
target_link_libraries(velmora-demo-sounds PRIVATE velmora_tools)
set(DEMO_SOUND_DIR ${CMAKE_BINARY_DIR}/demo-sounds)
set(DEMO_SOUND_VOLUMES ${VELMORA_DEMO_DIR}/vk_se0.vrk ${VELMORA_DEMO_DIR}/vk_se2.vrk ${VELMORA_DEMO_DIR}/vk_ogg1.vrk
  ${VELMORA_DEMO_DIR}/vk_bgm.vrk)
add_custom_command(
  OUTPUT ${DEMO_SOUND_VOLUMES}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${DEMO_SOUND_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${DEMO_SOUND_DIR}/wav ${DEMO_SOUND_DIR}/se0 ${DEMO_SOUND_DIR}/se2
    ${DEMO_SOUND_DIR}/ogg1 ${DEMO_SOUND_DIR}/bgm ${VELMORA_DEMO_DIR}
  COMMAND velmora-demo-sounds ${DEMO_SOUND_DIR}/wav
  COMMAND velmora-pack sound ${DEMO_SOUND_DIR}/wav/se01.wav ${DEMO_SOUND_DIR}/se0/SE01
  COMMAND velmora-pack sound ${DEMO_SOUND_DIR}/wav/se02.wav ${DEMO_SOUND_DIR}/se0/SE02
  COMMAND velmora-pack sound ${DEMO_SOUND_DIR}/wav/sse01.wav ${DEMO_SOUND_DIR}/se0/SSE01
  COMMAND velmora-pack sound ${DEMO_SOUND_DIR}/wav/sse02.wav ${DEMO_SOUND_DIR}/se0/SSE02
  COMMAND velmora-pack sound ${DEMO_SOUND_DIR}/wav/sse05.wav ${DEMO_SOUND_DIR}/se0/SSE05
  COMMAND velmora-pack sound ${DEMO_SOUND_DIR}/wav/sse06.wav ${DEMO_SOUND_DIR}/se0/SSE06
  COMMAND velmora-pack sound ${DEMO_SOUND_DIR}/wav/sse07.wav ${DEMO_SOUND_DIR}/se0/SSE07
  COMMAND velmora-pack sound ${DEMO_SOUND_DIR}/wav/sse09.wav ${DEMO_SOUND_DIR}/se0/SSE09
  COMMAND velmora-pack sound ${DEMO_SOUND_DIR}/wav/rain.wav ${DEMO_SOUND_DIR}/se2/RAIN
  COMMAND velmora-pack voice ${DEMO_SOUND_DIR}/wav/v0001.wav ${DEMO_SOUND_DIR}/ogg1/V0001
  COMMAND velmora-pack music --loop 13230 ${DEMO_SOUND_DIR}/wav/m01.wav ${DEMO_SOUND_DIR}/bgm/M01
  COMMAND velmora-pack music ${DEMO_SOUND_DIR}/wav/m02.wav ${DEMO_SOUND_DIR}/bgm/M02
  COMMAND velmora-pack volume ${DEMO_SOUND_DIR}/se0 ${VELMORA_DEMO_DIR}/vk_se0.vrk
  COMMAND velmora-pack volume ${DEMO_SOUND_DIR}/se2 ${VELMORA_DEMO_DIR}/vk_se2.vrk
  COMMAND velmora-pack volume ${DEMO_SOUND_DIR}/ogg1 ${VELMORA_DEMO_DIR}/vk_ogg1.vrk
  COMMAND velmora-pack volume ${DEMO_SOUND_DIR}/bgm ${VELMORA_DEMO_DIR}/vk_bgm.vrk
  DEPENDS velmora-pack velmora-demo-sounds
  COMMENT "Making the demo sounds")

# The demo's pictures are drawn by a program of ours at build time, then
# packed into the picture volume.
add_executable(velmora-demo-pictures tools/velmora_demo_pictures.cpp)
target_link_libraries(velmora-demo-pictures PRIVATE velmora_core)
set(VELMORA_DEMO_PICTURES ${CMAKE_BINARY_DIR}/demo_pictures)
# The choice buttons, drawn by a second program into the same folder.
add_executable(velmora-demo-ui-pictures ${CMAKE_SOURCE_DIR}/demo/pictures/make_ui_pictures.cpp)
target_link_libraries(velmora-demo-ui-pictures PRIVATE velmora_core)
target_include_directories(velmora-demo-ui-pictures PRIVATE ${CMAKE_SOURCE_DIR})
# The message window, name plates, click-wait icon and picture characters,
# sized from the configuration block.
add_executable(velmora-demo-window-pictures ${CMAKE_SOURCE_DIR}/demo/pictures/make_window_pictures.cpp)
target_link_libraries(velmora-demo-window-pictures PRIVATE velmora_core)
target_include_directories(velmora-demo-window-pictures PRIVATE ${CMAKE_SOURCE_DIR})
# The gallery pages, plates, digits and the recollection screen, drawn
# from the backgrounds above into the same folder.
add_executable(velmora-demo-extras-pictures ${CMAKE_SOURCE_DIR}/demo/pictures/make_extras_pictures.cpp)
target_link_libraries(velmora-demo-extras-pictures PRIVATE velmora_core)
target_include_directories(velmora-demo-extras-pictures PRIVATE ${CMAKE_SOURCE_DIR})
# The choice-tree backdrops and buttons and the credits' sky.
add_executable(velmora-demo-roll-pictures ${CMAKE_SOURCE_DIR}/demo/pictures/make_roll_pictures.cpp)
target_link_libraries(velmora-demo-roll-pictures PRIVATE velmora_core)
target_include_directories(velmora-demo-roll-pictures PRIVATE ${CMAKE_SOURCE_DIR})
# The sunrise animation with its chime and the star of the script-object
# scene: frames and sound into their own folder, packed into the animation
# volume; the star goes with the pictures.
add_executable(velmora-demo-anim ${CMAKE_SOURCE_DIR}/demo/pictures/make_anim.cpp)
target_link_libraries(velmora-demo-anim PRIVATE velmora_tools)
set(DEMO_ANIM_DIR ${CMAKE_BINARY_DIR}/demo-anim)
add_custom_command(
  OUTPUT ${VELMORA_DEMO_DIR}/vk_anim.vrk
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${DEMO_ANIM_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${DEMO_ANIM_DIR}/frames ${DEMO_ANIM_DIR}/vol ${DEMO_ANIM_DIR}/pictures
    ${VELMORA_DEMO_DIR}
  COMMAND velmora-demo-anim ${DEMO_ANIM_DIR}/frames ${DEMO_ANIM_DIR}/pictures
  COMMAND velmora-pack anim --frame-time 100 --sound ${DEMO_ANIM_DIR}/sunrise.wav ${DEMO_ANIM_DIR}/frames
    ${DEMO_ANIM_DIR}/vol/SUNRISE
  COMMAND velmora-pack volume ${DEMO_ANIM_DIR}/vol ${VELMORA_DEMO_DIR}/vk_anim.vrk
  DEPENDS velmora-pack velmora-demo-anim
  COMMENT "Drawing and packing the demo animation")

set(VELMORA_DEMO_CONFIG ${CMAKE_SOURCE_DIR}/demo/scripts/_config.txt)
add_custom_command(
  OUTPUT ${VELMORA_DEMO_DIR}/vk_gra.vrk
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_DEMO_DIR}
  COMMAND velmora-demo-pictures ${VELMORA_DEMO_PICTURES}
  COMMAND velmora-demo-ui-pictures ${VELMORA_DEMO_PICTURES}
  COMMAND velmora-demo-window-pictures ${VELMORA_DEMO_CONFIG} ${VELMORA_DEMO_PICTURES}
  COMMAND velmora-demo-extras-pictures ${VELMORA_DEMO_PICTURES}
  COMMAND velmora-demo-roll-pictures ${VELMORA_DEMO_PICTURES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/demo-anim-star/frames
  COMMAND velmora-demo-anim ${CMAKE_BINARY_DIR}/demo-anim-star/frames ${VELMORA_DEMO_PICTURES}
  COMMAND velmora-pack pictures ${VELMORA_DEMO_PICTURES} ${VELMORA_DEMO_DIR}/vk_gra.vrk
  DEPENDS velmora-pack velmora-demo-pictures velmora-demo-ui-pictures velmora-demo-window-pictures velmora-demo-anim
    velmora-demo-extras-pictures
    velmora-demo-roll-pictures
    ${VELMORA_DEMO_CONFIG}
  COMMENT "Drawing and packing the demo pictures")

add_custom_target(demo ALL DEPENDS ${VELMORA_DEMO_DIR}/vk_data.vrk ${DEMO_SOUND_VOLUMES}
  ${VELMORA_DEMO_DIR}/vk_gra.vrk ${VELMORA_DEMO_DIR}/vk_anim.vrk)
