# The picture: exact bytes, culling, coverage where triangles meet, lines
# and dots, the bound on the work, the arrays refused.
ostrel_unit_tests(render_tests ${CMAKE_CURRENT_LIST_DIR} ostrel_render)
