#!/usr/bin/env python3
"""The module the host loads holds only its own code: nothing of the
converter's entry, of the reader with an observer, or of the object built
with 32-bit point numbers (plugin/README.md).

    tools/check-module-symbols.py NM MODULE

Lists the symbols of MODULE (an ELF file with its symbol table) through NM
and exits 1 naming each one of the converter's code; also when the table
lacks the module's own entry, which would leave nothing checked.
"""
import re
import subprocess
import sys

# The module's own reader takes a null observer through the same signature,
# so a parameter of that type alone says nothing: what counts is the observed
# instantiation, the observed entries and the observer's own members.
CONVERTERS = re.compile(r"ActivateWide|ostrel_wide_descrip|WideImportRecord"
                        r"|ReadObserver::|ReadObserver const\*\)|CheckModelFile"
                        r"|(Reader|ReadOrCheck)<true>"
                        r"|(ChainFaceLines|OrientFace|BuildObjectWith)<unsigned int>")
OWN = re.compile(r"\bActivateImport\b")


def main(nm, module):
    symbols = subprocess.run([nm, "-C", module], capture_output=True, text=True,
                             check=True).stdout.splitlines()
    if not any(OWN.search(s) for s in symbols):
        print(f"{module}: no symbol table with the module's entry (stripped?)")
        return 1
    found = [s for s in symbols if CONVERTERS.search(s)]
    for s in found:
        print(f"{module}: the converter's code: {s}")
    print(f"{module}: {len(symbols)} symbols, {len(found)} of the converter's code")
    return 1 if found else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
