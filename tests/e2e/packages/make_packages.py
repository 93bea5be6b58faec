#!/usr/bin/env python3
"""Writes the scripts of the end-to-end test packages: <out>/<name>/script.txt for each package,
in code page 932 with CR LF line ends. A file whose bytes are already right is left untouched."""
import os
import sys

CAPTION = "Sorvane 修正プログラム ver 1.1"
HEAD = ["*PatchType", "\t1", "", "*Caption", "\t" + CAPTION, "", "*GameTitle", "\tSorvane", ""]


def out_files(*names):
    return ["%OutFiles", *("\t" + name for name in names), "%%"]


# The payloads of each package are chosen in tests/e2e/CMakeLists.txt.
SCRIPTS = {
    # No *LinkPath: the box stays empty and the run writes into the working directory.
    "nolink": HEAD + out_files("sov_patch.xp3"),
    # Type 1 without the out-file list.
    "nooutfiles": HEAD,
    # An item in a subdirectory that the target does not have.
    "missingdir": HEAD + out_files("missing\\x.dat"),
    # Two items; the package holds only the first payload.
    "twoitems": HEAD + out_files("first.dat", "second.dat"),
    # A *LinkPath line followed by a blank line: an empty shortcut path.
    "emptylink": HEAD + ["*LinkPath", "", ""] + out_files("sov_patch.xp3"),
}


def script_bytes(lines):
    return "".join(line + "\r\n" for line in lines).encode("cp932")


def main():
    out = sys.argv[1]
    for name, lines in SCRIPTS.items():
        path = os.path.join(out, name, "script.txt")
        data = script_bytes(lines)
        try:
            with open(path, "rb") as f:
                if f.read() == data:
                    continue
        except OSError:
            pass
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
