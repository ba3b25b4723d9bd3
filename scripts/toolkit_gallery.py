"""Screenshots of the control showcase (see toolkit_gallery.sh, which
prepares Wine and the display): both variants, three screens, scale
factors 1, 1.5 and 2, each cropped to the window and its shadow margin.
usage: LITE_BUILD_DIR=... LITE_ARCH=... toolkit_gallery.py OUTPUT_DIR"""
import os
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "tests", "integration"))
from showcase import Showcase  # noqa: E402


def main(out):
    os.makedirs(out, exist_ok=True)
    for variant in ("origin", "facetune"):
        for screen in ("first", "progress", "states"):
            for factor in ("1", "1.5", "2"):
                s = Showcase("--variant=" + variant, "--screen=" + screen,
                             "--force-device-scale-factor=" + factor)
                s.wait_ready()
                x, y, w, h = (int(v) for v in s.value("window"))
                m = int(8 * float(factor))
                name = "%s_%s_%s.png" % (variant, screen, factor)
                path = os.path.join(out, name)
                full = path + ".full.png"
                subprocess.run(["import", "-window", "root", full], check=True)
                subprocess.run(["convert", full, "-crop", "%dx%d+%d+%d" % (
                    w + 2 * m, h + 2 * m, x - m, y - m), "+repage", path],
                    check=True)
                os.remove(full)
                s.close()
                print(path)


if __name__ == "__main__":
    main(sys.argv[1])
