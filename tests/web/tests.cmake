# What the page's view is handed: the object's arrays, its size, the panel
# in effect. (The page itself is tested in Node and chromium: web/test/.)
ostrel_unit_tests(web_tests ${CMAKE_CURRENT_LIST_DIR} ostrel_view ostrel_linked_module
                  ostrel_wide_module)
