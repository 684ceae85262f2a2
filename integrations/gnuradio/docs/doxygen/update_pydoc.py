#!/usr/bin/env python3
"""Docstring step of GNU Radio's binding macros, reduced to the one mode this module uses.

GR_PYBIND_MAKE_OOT runs `update_pydoc.py copy --bindings_dir D --output_dir O` when Doxygen is
off (it is always off here): every D/*_pydoc_template.h is copied to O/*_pydoc.h and
O/docstring_status records that the step ran. The module's docstrings live in those templates.
"""
import argparse
import glob
import os
import shutil
import sys


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("function", choices=["copy"])
    parser.add_argument("--bindings_dir", required=True)
    parser.add_argument("--output_dir", required=True)
    parser.add_argument("--filter", default=None)
    parser.add_argument("--json_path", default=None)
    args = parser.parse_args()
    for template in glob.glob(os.path.join(args.bindings_dir, "*_pydoc_template.h")):
        name = os.path.basename(template).replace("_template.h", ".h")
        shutil.copyfile(template, os.path.join(args.output_dir, name))
    with open(os.path.join(args.output_dir, "docstring_status"), "w") as status:
        status.write("DONE")
    return 0


if __name__ == "__main__":
    sys.exit(main())
