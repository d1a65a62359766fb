# The geometry the writers share: triangles that cover each polygon exactly
# once, robustness on loops that are not simple, the sweep against a plain
# simplicity check, and the corner normals as the host smooths.
ostrel_unit_tests(geometry_tests ${CMAKE_CURRENT_LIST_DIR} ostrel_geometry)
