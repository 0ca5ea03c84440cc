# The browser link, the Sites and recent-clip lists and the player's preferences:
# portable cores with native tests and a fuzz target; the DDE, process and path
# bindings for Windows with their Wine test against the stand-in browser.
add_library(txplayer_link STATIC browser_link.cpp clip_list.cpp sites_menu.cpp player_prefs.cpp)
target_link_libraries(txplayer_link PUBLIC tx_common)
if(TX_WINDOWS)
  add_library(txplayer_link_windows STATIC browser_link_binding.cpp clip_list_binding.cpp sites_menu_window.cpp)
  target_link_libraries(txplayer_link_windows PUBLIC txplayer_link tx_common_registry user32)
endif()
tx_native_test(NAME txplayer_link_test SOURCES tests/browser_link_test.cpp tests/lists_test.cpp LIBS txplayer_link)
tx_wine_test(NAME txplayer_link_wine SOURCES tests/browser_link_wine_test.cpp LIBS txplayer_link_windows)
if(TX_WINE)
  add_dependencies(txplayer_link_wine txbrowser)
endif()
tx_fuzz_target(NAME txplayer_link_fuzz SOURCES tests/link_fuzz.cpp LIBS txplayer_link
               CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/tests/link_corpus SECONDS 20)
