# The manual page ostrel(1), written from the very text of `ostrel --help`
# (HELP, a file) and `ostrel --version` (VERSION_TEXT): cmake -DHELP=...
# -DVERSION_TEXT=... -DOUT=ostrel.1 -P ManPage.cmake. The usage lines, up to
# the first blank line, become the synopsis (without "usage:"), the rest the
# description; each is kept as it stands, in a no-fill block, so the page
# and --help never differ.
file(READ ${HELP} help)
file(STRINGS ${VERSION_TEXT} version LIMIT_COUNT 1)
# roff: a backslash is written \e; a line starting with . or ' is protected.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(FIND "${help}" "\n\n" blank)
string(SUBSTRING "${help}" 0 ${blank} synopsis)
math(EXPR rest "${blank} + 2")
string(SUBSTRING "${help}" ${rest} -1 description)
string(REGEX REPLACE "^usage: " "" synopsis "${synopsis}")
string(REGEX REPLACE "\n +" "\n" synopsis "${synopsis}")
file(WRITE ${OUT}
  ".TH OSTREL 1 \"\" \"${version}\" \"User Commands\"\n"
  ".SH NAME\n"
  "ostrel \\- import and convert ROKU4 model files through the object-loader plug-in\n"
  ".SH SYNOPSIS\n"
  ".nf\n${synopsis}\n.fi\n"
  ".SH DESCRIPTION\n"
  ".nf\n${description}.fi\n"
  ".SH SEE ALSO\n"
  "/usr/share/doc/ostrel/README.md, /usr/share/doc/ostrel/docs/converter.md\n")
