"""kqhost run --plot with an input path of about 500 characters: the SVG must parse as XML and its
title must hold the whole path. Usage: plot_long_path_test.py [EMULATOR WORDS...] KQHOST"""
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

SVG = "{http://www.w3.org/2000/svg}"


def main():
    kqhost = sys.argv[1:]  # kqhost, after an emulator's command in a cross build
    with tempfile.TemporaryDirectory(prefix="kqhost-long-path-") as scratch:
        # Folder names up to 200 characters each, with the characters XML must escape (Windows
        # file names allow only & and ' of them).
        escaped = "& 'run'" if kqhost[-1].endswith(".exe") else "& <signals> \"run\""
        folder = scratch
        while len(folder) < 480:
            folder = os.path.join(folder, f"phase {escaped} " + "x" * 150)
        os.makedirs(folder)
        input_path = os.path.join(folder, "in.csv")
        with open(input_path, "w") as f:
            f.write("0,1\n3,-3\n-3,3\n")
        plot_path = os.path.join(scratch, "plot.svg")
        result = subprocess.run(
            [*kqhost, "run", "--plot", plot_path, input_path, os.path.join(scratch, "out.csv")],
            capture_output=True, text=True)
        if result.returncode != 0:
            sys.exit(f"kqhost failed ({result.returncode}): {result.stderr}")

        root = ElementTree.parse(plot_path).getroot()  # raises on malformed XML
        if root.tag != SVG + "svg":
            sys.exit(f"root element is {root.tag}, not svg")
        texts = [element.text for element in root.iter(SVG + "text")]
        title = "kqphasefix2: " + input_path
        if len(input_path) < 500 or title not in texts:
            sys.exit(f"no title of the whole {len(input_path)}-character path among {texts[:3]}")
        legend = {"ch 1 input", "ch 1 unwrapped", "ch 2 input", "ch 2 unwrapped"}
        if not legend <= set(texts):
            sys.exit(f"legend missing: {sorted(legend - set(texts))}")
    print(f"plot of a {len(input_path)}-character input path parses, title whole")


if __name__ == "__main__":
    main()
