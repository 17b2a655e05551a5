# Builds the demo game the way an author builds a game: a game folder in the
# build tree, packed by one `velmora-pack build` into ${VELMORA_DEMO_DIR}.
# Its scripts, configuration, music loops and animation options are those of
# demo/ (linked, so an edit is seen at once); its pictures and sounds are
# drawn and synthesised by the programs below, straight into its folders.
set(DEMO_SOURCE ${CMAKE_SOURCE_DIR}/demo)
set(VELMORA_DEMO_GAME ${CMAKE_BINARY_DIR}/demo-game)
# What build coded before, kept out of the folder a player runs.
set(DEMO_CACHE ${CMAKE_BINARY_DIR}/demo-cache)
file(GLOB VELMORA_DEMO_SCRIPTS CONFIGURE_DEPENDS ${DEMO_SOURCE}/scripts/*.txt)
set(VELMORA_DEMO_CONFIG ${DEMO_SOURCE}/config.txt)
set(DEMO_LINKED scripts config.txt music/loops.txt anim/sunrise/anim.txt)

# The sounds: effects, the rain loop, the voice and the music tracks; the
# engine's own sounds (SSE01 ...) go with the effects. Their folders are the
# program's alone, so what it no longer writes does not stay behind.
add_executable(velmora-demo-sounds ${DEMO_SOURCE}/sounds/make_sounds.cpp)
target_link_libraries(velmora-demo-sounds PRIVATE velmora_tools)
set(DEMO_SOUNDS)
foreach(f sounds/se01 sounds/se02 sounds/sse01 sounds/sse02 sounds/sse05 sounds/sse06 sounds/sse07 sounds/sse09
    loops/rain voices/v0001 music/m01 music/m02)
  list(APPEND DEMO_SOUNDS ${VELMORA_DEMO_GAME}/${f}.wav)
endforeach()
add_custom_command(
  OUTPUT ${DEMO_SOUNDS}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${VELMORA_DEMO_GAME}/sounds ${VELMORA_DEMO_GAME}/loops ${VELMORA_DEMO_GAME}/voices ${VELMORA_DEMO_GAME}/music
  COMMAND velmora-demo-sounds ${VELMORA_DEMO_GAME}
  DEPENDS velmora-demo-sounds
  COMMENT "Making the demo sounds")

# The pictures, by six programs into the same folder: the backgrounds,
# sprites and title; the choice buttons and status meter; the message window,
# name plates, click-wait icon and picture characters, sized from the
# configuration block; the gallery and recollection screens, drawn from the
# backgrounds; the choice-tree backdrops and buttons and the credits' sky;
# and the sunrise animation's frames and chime with the script object's star.
add_executable(velmora-demo-pictures tools/velmora_demo_pictures.cpp)
target_link_libraries(velmora-demo-pictures PRIVATE velmora_core)
foreach(program ui window extras roll)
  add_executable(velmora-demo-${program}-pictures ${DEMO_SOURCE}/pictures/make_${program}_pictures.cpp)
  target_link_libraries(velmora-demo-${program}-pictures PRIVATE velmora_core)
  target_include_directories(velmora-demo-${program}-pictures PRIVATE ${CMAKE_SOURCE_DIR})
endforeach()
add_executable(velmora-demo-anim ${DEMO_SOURCE}/pictures/make_anim.cpp)
target_link_libraries(velmora-demo-anim PRIVATE velmora_tools)
set(DEMO_PICTURES_DRAWN ${CMAKE_BINARY_DIR}/demo-pictures.stamp)
add_custom_command(
  OUTPUT ${DEMO_PICTURES_DRAWN}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${VELMORA_DEMO_GAME}/pictures ${VELMORA_DEMO_GAME}/anim
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_DEMO_GAME}/pictures
  COMMAND velmora-demo-pictures ${VELMORA_DEMO_GAME}/pictures
  COMMAND velmora-demo-ui-pictures ${VELMORA_DEMO_GAME}/pictures
  COMMAND velmora-demo-window-pictures ${VELMORA_DEMO_CONFIG} ${VELMORA_DEMO_GAME}/pictures
  COMMAND velmora-demo-extras-pictures ${VELMORA_DEMO_GAME}/pictures
  COMMAND velmora-demo-roll-pictures ${VELMORA_DEMO_GAME}/pictures
  COMMAND velmora-demo-anim ${VELMORA_DEMO_GAME}
  COMMAND ${CMAKE_COMMAND} -E touch ${DEMO_PICTURES_DRAWN}
  DEPENDS velmora-demo-pictures velmora-demo-ui-pictures velmora-demo-window-pictures velmora-demo-extras-pictures
    velmora-demo-roll-pictures velmora-demo-anim ${VELMORA_DEMO_CONFIG}
  COMMENT "Drawing the demo pictures")

# The game folder packed. The links are made again each time, since drawing
# and synthesising clear the folders that hold two of them.
set(DEMO_ARCHIVES)
foreach(a vk_data vk_gra vk_se0 vk_se2 vk_ogg1 vk_bgm vk_anim)
  list(APPEND DEMO_ARCHIVES ${VELMORA_DEMO_DIR}/${a}.vrk)
endforeach()
set(DEMO_LINK_COMMANDS)
set(DEMO_LINK_SOURCES)
foreach(f ${DEMO_LINKED})
  list(APPEND DEMO_LINK_COMMANDS COMMAND ${CMAKE_COMMAND} -E create_symlink ${DEMO_SOURCE}/${f} ${VELMORA_DEMO_GAME}/${f})
  if(NOT f STREQUAL "scripts")
    list(APPEND DEMO_LINK_SOURCES ${DEMO_SOURCE}/${f})
  endif()
endforeach()
add_custom_command(
  OUTPUT ${DEMO_ARCHIVES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_DEMO_GAME}/music ${VELMORA_DEMO_GAME}/anim/sunrise
  ${DEMO_LINK_COMMANDS}
  COMMAND velmora-pack build --cache ${DEMO_CACHE} ${VELMORA_DEMO_GAME} ${VELMORA_DEMO_DIR}
  DEPENDS velmora-pack ${VELMORA_DEMO_SCRIPTS} ${DEMO_LINK_SOURCES} ${DEMO_SOUNDS} ${DEMO_PICTURES_DRAWN}
  COMMENT "Packing the demo game")

add_custom_target(demo ALL DEPENDS ${DEMO_ARCHIVES})

# The English translation of the opening: a vk_data2.vrk patch packed from
# UTF-8 scripts, as a translator ships one, in a game folder of its own
# beside the Japanese demo, whose other archives it links. The Japanese demo
# stays as it is.
set(VELMORA_DEMO_EN_DIR ${CMAKE_BINARY_DIR}/demo-en)
set(DEMO_EN_STAGE ${CMAKE_BINARY_DIR}/demo-en-scripts)
file(GLOB DEMO_EN_SCRIPTS CONFIGURE_DEPENDS ${DEMO_SOURCE}/en/scripts/*.txt)
set(DEMO_EN_LINKS)
foreach(a ${DEMO_ARCHIVES})
  get_filename_component(n ${a} NAME)
  list(APPEND DEMO_EN_LINKS COMMAND ${CMAKE_COMMAND} -E create_symlink ${a} ${VELMORA_DEMO_EN_DIR}/${n})
endforeach()
add_custom_command(
  OUTPUT ${VELMORA_DEMO_EN_DIR}/vk_data2.vrk
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${DEMO_EN_STAGE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${DEMO_EN_STAGE} ${VELMORA_DEMO_EN_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy ${DEMO_EN_SCRIPTS} ${DEMO_EN_STAGE}
  COMMAND ${CMAKE_COMMAND} -DBASE=${VELMORA_DEMO_CONFIG} -DEXTRA=${DEMO_SOURCE}/en/config.txt
    -DOUT=${DEMO_EN_STAGE}/_config.txt -P ${DEMO_SOURCE}/en/merge_config.cmake
  COMMAND velmora-pack script ${DEMO_EN_STAGE} ${VELMORA_DEMO_EN_DIR}/vk_data2.vrk
  ${DEMO_EN_LINKS}
  DEPENDS velmora-pack ${DEMO_EN_SCRIPTS} ${DEMO_SOURCE}/en/config.txt ${DEMO_SOURCE}/en/merge_config.cmake
    ${VELMORA_DEMO_CONFIG} ${DEMO_ARCHIVES}
  COMMENT "Packing the demo's English patch")
add_custom_target(demo-en ALL DEPENDS ${VELMORA_DEMO_EN_DIR}/vk_data2.vrk)
