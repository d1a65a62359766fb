#include "cli/Usage.h"

#include "convert/Formats.h"

namespace {

// A table of text rather than a function body: one literal, read by looking
// an option up.
constexpr const char kUsage[] =
    "usage: ostrel [OPTIONS] MODEL\n"
    "       ostrel [OPTIONS] MODEL -o OUT.lwo|OUT.obj|OUT.glb|OUT.gltf|OUT.fbx|OUT.png\n"
    "       ostrel [OPTIONS] MODEL -o OUT.stl|OUT.ply|OUT.3mf      (to print it)\n"
    "       ostrel [OPTIONS] MODEL... --out-dir DIR\n"
    "              [--format lwo|obj|glb|gltf|fbx|png|stl|ply|3mf]\n"
    "       ostrel [OPTIONS] MODEL... --check\n"
    "\n"
    "Loads the object-loader module ostrel.p as the 3D host does and imports MODEL\n"
    "(a \"ROKU4\" model file; '-': standard input, named stdin.rk4) through it,\n"
    "playing the host's part. A folder given as MODEL stands for the model files\n"
    "directly inside it (*.rk4, any case), in the order of their names.\n"
    "\n"
    "Output:\n"
    "  -o, --output FILE          write the object to FILE; the format follows the\n"
    "                             extension (.lwo, .obj + .mtl, .glb, .gltf: JSON\n"
    "                             with its buffer inside, .fbx, .png: a picture of\n"
    "                             the object; to print it, Z up: .stl binary, .ply\n"
    "                             binary with each face's colour, .3mf in\n"
    "                             millimetres with a material per surface); '-' =\n"
    "                             stdout (any but obj, with --format); a device or\n"
    "                             FIFO is written into, a link's target replaced.\n"
    "                             Every face is written, past the 65,536th point\n"
    "                             too, which the host itself does not get (--check,\n"
    "                             --trace); LWOB holds at most 65,536 points\n"
    "  --out-dir DIR              one output per model file, named after it, in DIR\n"
    "                             (made when the first output is written); glb\n"
    "                             unless --format says; a name an earlier model\n"
    "                             took gets -2, -3, ...\n"
    "  --format FORMAT            the output format, as the extensions above (needed\n"
    "                             with -o -; with -o, must agree with a known\n"
    "                             extension)\n"
    "  STL and 3MF: a line after the status line says whether the object is a\n"
    "  closed solid (its open edges, edges of more than two faces, faces with no\n"
    "  area) and names the lines and points the file leaves out; nothing is\n"
    "  repaired. One unit is a millimetre: --scale sets the size.\n"
    "  --size N                   png: the picture's pixels along each side, 16 to\n"
    "                             2048 (default 512); the object framed and lit as\n"
    "                             the web page's view shows it, transparent around\n"
    "                             it\n"
    "  --recursive                a folder given as MODEL: the model files of its\n"
    "                             sub-folders too (each folder's own files first);\n"
    "                             --out-dir keeps their sub-folders\n"
    "  --check                    import and check only; one line per model file\n"
    "  --quiet                    no warnings about what the model file's reader left\n"
    "                             out or read as something else\n"
    "  --strict                   any such warning fails the model file (exit 7);\n"
    "                             its output is not written\n"
    "  --salvage                  write what was read of a damaged model file (cut\n"
    "                             short, a keyword misspelt, numbers unreadable):\n"
    "                             without it, a damaged file is not written; either\n"
    "                             way it is named damaged, and why (exit 9)\n"
    "  -j, --jobs N               import N model files at once (default: one per\n"
    "                             core); their lines come in the order given\n"
    "  No output is ever written over a model file of the run (exit 6).\n"
    "\n"
    "Module and activation:\n"
    "  --module PATH              the module to load (default: ostrel.p beside\n"
    "                             ostrel); given, it makes the outputs too, which then\n"
    "                             hold no face past the 65,536th point\n"
    "  --activation-version N     version passed to the activation entry (default 1)\n"
    "  --trace FILE               write every call the plug-in makes to FILE ('-' = "
    "stdout)\n"
    "\n"
    "Host behaviour:\n"
    "  --no-panel-services        the global \"LWPanelServices\" is not available\n"
    "  --no-panel                 createPanel fails (returns null)\n"
    "  --screen WxH               display size reported to the plug-in (default 1920x1080)\n"
    "  --cancel                   the user cancels the options panel\n"
    "  --interactive              show the options panel in the terminal and read the\n"
    "                             user's edits from standard input (EOF = ok, or cancel\n"
    "                             with --cancel)\n"
    "\n"
    "Panel edits (applied when the panel opens; an option not given keeps the\n"
    "value the plug-in proposed; with --no-panel or --no-panel-services no panel\n"
    "opens, and an edit or --interactive is a usage error):\n"
    "  --load lines|faces|both    what to load\n"
    "  --colours bright|middle|dark  palette colour to apply (also --colors)\n"
    "  --scale X                  scale factor\n"
    "  --name TEXT                surface base name (bytes as given)\n"
    "  --smooth on|off            smoothing (also yes/no, true/false, 1/0)\n"
    "  --angle DEGREES            smoothing angle\n"
    "  --double-sided on|off      double-sided surfaces\n"
    "\n"
    "  --help, -h, -?             show this text (on Windows also /?)\n"
    "  --version                  show the version and the output formats built in\n"
    "\n"
    "Exit status: 0 loaded, 1 not a model file, 2 cannot open or read, 3 cancelled,\n"
    "4 refused by the plug-in or module unusable, 5 the host refused what the\n"
    "plug-in handed over, 6 the output cannot be written or cannot hold the object,\n"
    "7 warnings with --strict, 8 nothing to import (no point reached the host),\n"
    "9 damaged (the reader lost the file's structure; see --salvage), 64 usage\n"
    "error. With several model files: that of the first file that failed.\n";

} // namespace

const char* UsageText() {
    return kUsage;
}

std::string VersionText() {
    std::string text = "ostrel " OSTREL_VERSION "\noutputs:";
    for (const OutputFormat& output : OutputFormats()) {
        if (output.builtIn)
            text += std::string(" ") + FormatExtension(output.format);
    }
    text += "\n";
    for (const OutputFormat& output : OutputFormats()) {
        if (!output.builtIn)
            text += std::string(FormatExtension(output.format)) + ": " + output.unavailable + "\n";
    }
    return text;
}
