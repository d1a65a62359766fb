# Grouping, the object sent (recorded by a sink) and the surface blocks, on
# models read from hand-made text.
ostrel_unit_tests(mesh_tests ${CMAKE_CURRENT_LIST_DIR} ostrel_core)
