# The thumbnail: the png writer's pixels from the engine's arrays, models
# that give none, the size bound, the bitmap's premultiplied rows. The COM
# server around it is tested under Wine by the host in host/
# (tools/check-thumbnails.sh).
ostrel_unit_tests(explorer_tests ${CMAKE_CURRENT_LIST_DIR} ostrel_thumbnail)
