# Whole activations through the stand-in host, compared byte for byte with
# the traces in tests/golden (regenerate: OSTREL_UPDATE_GOLDEN=1 ctest -R golden).
if(NOT COMMAND ostrel_golden)
  return()
endif()

# Orientation: loops copied across shared lines, first faces tested against
# the centroid (one with its first line stored the other way round).
ostrel_golden(tetra_crlf tetra_crlf.rk4)
ostrel_golden(tetra_flipped tetra_flipped.rk4)
ostrel_golden(example_tetrahedron examples/tetrahedron.rk4)
ostrel_golden(example_freelines examples/freelines.rk4)
# Visit order across lines shared by two and by three faces.
ostrel_golden(grouping_order grouping.rk4)
ostrel_golden(several_groups groups.rk4)
# Load targets: a triangle, a one-line face, a face of no lines, line faces.
ostrel_golden(load_lines mixed.rk4 --load lines)
ostrel_golden(load_faces mixed.rk4 --load faces)
ostrel_golden(load_both mixed.rk4 --load both)
# Reading: a 128-byte header, CR line ends, the end inside a point record.
ostrel_golden(header_cr_eof header_cr_eof.rk4 EXIT 9)
# A proposed load target of -1 is taken as both.
ostrel_golden(view_minus_one view_minus_one.rk4)
# Failures: not a model file, a file that cannot be opened.
ostrel_golden(not_model not_model.txt EXIT 1)
ostrel_golden(cannot_open tests/data/no-such-file.rk4 EXIT 2)
