# The browser build (emcmake): the engine core with the stb seams, the web
# platform and the page. VELMORA_HOST_BUILD names a native build tree whose
# velmora-cp932-table makes the CP932 table from the host's iconv.
set(VELMORA_HOST_BUILD "" CACHE PATH "A native build tree holding velmora-cp932-table")
if(NOT EXISTS "${VELMORA_HOST_BUILD}/velmora-cp932-table")
  message(FATAL_ERROR "VELMORA_HOST_BUILD must name a native build with velmora-cp932-table built")
endif()

set(VELMORA_CP932_TABLE ${CMAKE_BINARY_DIR}/generated/cp932_table.cpp)
add_custom_command(OUTPUT ${VELMORA_CP932_TABLE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/generated
  COMMAND ${VELMORA_HOST_BUILD}/velmora-cp932-table ${VELMORA_CP932_TABLE}
  DEPENDS ${VELMORA_HOST_BUILD}/velmora-cp932-table
  COMMENT "Making the CP932 table from iconv")

file(GLOB VELMORA_CORE_SOURCES CONFIGURE_DEPENDS ${VELMORA_CORE_GLOBS})
list(REMOVE_ITEM VELMORA_CORE_SOURCES ${VELMORA_DESKTOP_SEAMS})
add_library(velmora_core STATIC ${VELMORA_CORE_SOURCES} ${VELMORA_CP932_TABLE})
target_include_directories(velmora_core PUBLIC src)
# Debian's stb headers, without the rest of the host's /usr/include.
set(VELMORA_STB_INCLUDE ${CMAKE_BINARY_DIR}/stb-include)
file(MAKE_DIRECTORY ${VELMORA_STB_INCLUDE})
file(CREATE_LINK /usr/include/stb ${VELMORA_STB_INCLUDE}/stb SYMBOLIC)
target_include_directories(velmora_core SYSTEM PRIVATE ${VELMORA_STB_INCLUDE})

file(GLOB VELMORA_WEB_SOURCES CONFIGURE_DEPENDS src/platform/web/*.cpp)
add_executable(velmora ${VELMORA_WEB_SOURCES} src/platform/openal/openal_mixer.cpp src/platform/openal/openal_device.cpp)
target_link_libraries(velmora PRIVATE velmora_core)
# Asyncify lets the engine's blocking loops sleep in the browser; the page
# starts main once the game's files are in place.
# Exceptions are left off (every call would go through JavaScript): the end
# of a run, thrown by the runner's platform, ends the program there.
target_link_options(velmora PRIVATE -sASYNCIFY=1 -sASYNCIFY_STACK_SIZE=1048576
  -sALLOW_MEMORY_GROWTH=1 -sINITIAL_MEMORY=67108864 -sFORCE_FILESYSTEM=1 -sINVOKE_RUN=0
  -sEXIT_RUNTIME=0 -lidbfs.js -lopenal
  "-sEXPORTED_RUNTIME_METHODS=['FS','IDBFS','callMain','ccall','UTF8ToString','stringToUTF8','lengthBytesUTF8']"
  "-sEXPORTED_FUNCTIONS=['_main','_malloc','_free','_velmora_screenshot','_velmora_shown_text']")
set_target_properties(velmora PROPERTIES SUFFIX ".js")
# The page beside the engine, so the build folder is what `velmora-pack web` publishes.
set(VELMORA_PAGE_FILES index.html velmora-page.js velmora-page.css)
set(VELMORA_PAGE_OUTPUTS)
foreach(f ${VELMORA_PAGE_FILES})
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/${f}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/src/platform/web/site/${f} ${CMAKE_BINARY_DIR}/${f}
    DEPENDS ${CMAKE_SOURCE_DIR}/src/platform/web/site/${f})
  list(APPEND VELMORA_PAGE_OUTPUTS ${CMAKE_BINARY_DIR}/${f})
endforeach()
add_custom_target(velmora_page ALL DEPENDS ${VELMORA_PAGE_OUTPUTS})
add_dependencies(velmora velmora_page)
