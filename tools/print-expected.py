#!/usr/bin/env python3
"""What the printing formats of each model must hold, from the object the
engine received (not from any writer), for tools/check-print.sh:
    print-expected.py ENGINE MODEL...
One line per model, then one per surface:
    MODEL faces F triangles T whole W size X Y Z
    MODEL surface I "NAME" RRGGBB triangles K
F: polygons of three corners or more; T: their triangles; W: of those, the
ones naming three points (what 3MF keeps), K of them on surface I. Size:
the extent of the faces' points, Z up (the host's X, Z, Y)."""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "python"))
import numpy  # noqa: E402

import ostrel  # noqa: E402

engine = ostrel.engine(sys.argv[1])
for path in sys.argv[2:]:
    model = engine.load(path, shading=True, salvage=True)
    sizes = model.polygon_sizes
    faces = int((sizes >= 3).sum())
    point_of_corner = model.corners
    triangles = point_of_corner[model.triangles.astype(numpy.int64)].reshape(-1, 3)
    whole = (triangles[:, 0] != triangles[:, 1]) & (triangles[:, 1] != triangles[:, 2]) & \
        (triangles[:, 0] != triangles[:, 2])
    # Each triangle's polygon, by the corner it starts from.
    starts = numpy.concatenate(([0], numpy.cumsum(sizes.astype(numpy.int64))))
    polygon = numpy.searchsorted(starts, model.triangles[:, 0].astype(numpy.int64), "right") - 1
    surface = model.polygon_surfaces[polygon]
    used = numpy.unique(point_of_corner[numpy.repeat(sizes >= 3, sizes)])
    if len(used):
        points = model.points[used]
        extent = points.max(axis=0) - points.min(axis=0)
        size = (extent[0], extent[2], extent[1])
    else:
        size = (0, 0, 0)
    print(f"{path} faces {faces} triangles {len(triangles)} whole {int(whole.sum())} "
          f"size {size[0]:.6f} {size[1]:.6f} {size[2]:.6f}")
    for i, s in enumerate(model.surfaces):
        count = int((whole & (surface == i)).sum())
        print(f'{path} surface {i} "{s.name}" {s.colour[0]:02X}{s.colour[1]:02X}{s.colour[2]:02X} '
              f"triangles {count}")
