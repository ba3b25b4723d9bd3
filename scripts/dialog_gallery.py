#!/usr/bin/env python3
"""Screenshots of every notice and error dialog variant (the dialogs'
showcase over an owner window), each cropped to the dialog and its shadow;
used by scripts/dialog_gallery.sh.

usage: dialog_gallery.py OUTPUT_DIR"""
import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                "..", "tests", "integration"))
from dialog_window_test import DialogShowcase  # noqa: E402
from showcase import steady_screenshot  # noqa: E402

SHOTS = [
    ("confirm_en", ["--variant=confirm"]),
    ("confirm_ru", ["--variant=confirm", "--language=1049"]),
    ("disk_space_en", ["--variant=disk-space"]),
    ("disk_space_ru", ["--variant=disk-space", "--language=1049"]),
    ("higher_version_en", ["--variant=higher-version"]),
    ("corp_replace_ru", ["--variant=corp-replace", "--language=1049"]),
    ("crypto_en", ["--variant=crypto"]),
    ("error_en", ["--variant=error"]),
    ("download_en", ["--variant=factory", "--code=2"]),
    ("download_ru", ["--variant=factory", "--code=2", "--language=1049"]),
    ("log_error_en", ["--variant=factory", "--code=2",
                      "--disable-error-dialog-download-button"]),
    ("confirm_en_1.5", ["--variant=confirm", "--force-device-scale-factor=1.5"]),
]


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, args in SHOTS:
        s = DialogShowcase(*args).wait_ready()
        try:
            path = os.path.join(out, name + ".png")
            image = steady_screenshot(path, 10)
            x, y, w, h = s.dialog()
            # The dialog with its shadow (7, 4, 6, 8) and a little owner.
            crop = "%dx%d+%d+%d" % (w + 33, h + 32, x - 17, y - 14)
            subprocess.run(["convert", path, "-crop", crop, "+repage", path],
                           check=True, timeout=60)
            print(path)
        finally:
            s.close()


if __name__ == "__main__":
    main()
