"""The slide folders of the download CDN for the slide-show tests: each
language's pictures (rendered by the build into build/<arch>/test_slides)
served under a base path, in one of these modes:

  "normal"     every file of the folder's x2/ at base + "x2/<name>";
  "slow"       the same at |rate| bytes per second;
  "stall"      the first picture's request is recorded and never answered;
  "garbage"    the first picture's first answer is bytes no decoder takes,
               later ones the real file;
  "catch_all"  every name under base + "x2/" answers 200 with the first
               picture (a server that never says 404).
"""
import os

MODES = ("normal", "slow", "stall", "garbage", "catch_all")
GARBAGE = b"\xff\xd8 not a picture at all " * 100


def slides_dir(build_dir):
    return os.path.join(build_dir, "test_slides")


def folder_files(build_dir, folder):
    """name -> path of the pictures of |folder| ("en", "facetune/ru")."""
    x2 = os.path.join(slides_dir(build_dir), folder, "x2")
    return {name: os.path.join(x2, name) for name in sorted(os.listdir(x2))
            if name.endswith(".jpg")}


def add_slide_folder(service, host, base_path, build_dir, folder,
                     mode="normal", rate=None, names=None):
    """Serves |folder|'s slides at https://|host||base_path|x2/<name>
    (|base_path| ends with "/"); |names| limits them to those names.
    Returns the names served."""
    if mode not in MODES:
        raise ValueError("unknown slide mode %r" % mode)
    files = folder_files(build_dir, folder)
    if names is not None:
        files = {n: p for n, p in files.items() if n in names}
    first = sorted(files)[0]
    if mode == "catch_all":
        service.add_route(host, base_path + "x2/", file=files[first],
                          prefix=True)
        return sorted(files)
    for name, path in files.items():
        options = {"file": path}
        if mode == "slow":
            options["rate"] = rate or 8192
        elif mode == "stall" and name == first:
            options = {"hang": True}
        elif mode == "garbage" and name == first:
            options = {"body": GARBAGE, "replace_after": 1,
                       "later_file": path}
        service.add_route(host, base_path + "x2/" + name, **options)
    return sorted(files)
