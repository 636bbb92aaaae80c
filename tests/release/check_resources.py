#!/usr/bin/python3
"""The resources of a built Lintora.exe, read back from the file itself:

  check_resources.py EXE VERSION ICON_DIR

the version resource (names and numbers, VERSION being CMakeLists.txt's) and
each state's icon group, whose images must be those of its .ico source.
Needs python3-pefile (Debian's, for the system's python3).
"""
import struct
import sys

import pefile

RT_ICON, RT_GROUP_ICON = 3, 14
passes = failures = 0


def check(what, ok, seen=""):
    global passes, failures
    print(("ok: " if ok else "FAIL: ") + what + ("" if ok else f" (saw {seen!r})"))
    passes += 1 if ok else 0
    failures += 0 if ok else 1


def version_strings(pe):
    strings = {}
    for info in getattr(pe, "FileInfo", []):
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
    return strings


def group_images(pe, group_id):
    """(width, height, bits) of each image of an icon group, with its image's size checked."""
    sizes = {}
    groups = None
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for named in kind.directory.entries:
            for language in named.directory.entries:
                data = pe.get_data(language.data.struct.OffsetToData, language.data.struct.Size)
                if kind.id == RT_ICON:
                    sizes[named.id] = len(data)
                elif kind.id == RT_GROUP_ICON and named.id == group_id:
                    groups = data
    if groups is None:
        return None
    count = struct.unpack_from("<HHH", groups)[2]
    images = []
    for n in range(count):
        width, height, _, _, _, bits, size, image_id = struct.unpack_from("<BBBBHHIH", groups, 6 + 14 * n)
        images.append((width or 256, height or 256, bits, sizes.get(image_id) == size))
    return images


def ico_images(path):
    data = open(path, "rb").read()
    count = struct.unpack_from("<HHH", data)[2]
    images = []
    for n in range(count):
        width, height, _, _, _, bits = struct.unpack_from("<BBBBHH", data, 6 + 16 * n)
        images.append((width or 256, height or 256, bits, True))
    return images


def main(exe, version, icon_dir):
    pe = pefile.PE(exe)
    strings = version_strings(pe)
    for key in ("FileDescription", "ProductName"):
        check(f"{key} is Lintora", strings.get(key) == "Lintora", strings.get(key))
    for key in ("CompanyName", "LegalCopyright"):
        check(f"{key} names the project", "Lintora" in strings.get(key, ""), strings.get(key))
    for key in ("FileVersion", "ProductVersion"):
        check(f"{key} is {version}", strings.get(key) == version, strings.get(key))
    fixed = pe.VS_FIXEDFILEINFO[0]
    parts = [int(p) for p in version.split(".")] + [0] * 4
    numbers = (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF, fixed.FileVersionLS >> 16,
               fixed.FileVersionLS & 0xFFFF)
    check(f"the file's version numbers are {version}", list(numbers) == parts[:4], numbers)
    check("the product's version numbers are the file's",
          (fixed.ProductVersionMS, fixed.ProductVersionLS) == (fixed.FileVersionMS, fixed.FileVersionLS))
    for group, name in ((101, "broken"), (102, "connected")):
        images = group_images(pe, group)
        expected = ico_images(f"{icon_dir}/{name}.ico")
        check(f"icon group {group} holds every image of {name}.ico, whole", images == expected, images)
        scaled = sorted(w for w, h, bits, _ in (images or []) if bits == 32 and w == h)
        check(f"icon group {group} has 32-bit images of 16, 20, 24, 40 and 48 px",
              all(size in scaled for size in (16, 20, 24, 40, 48)), scaled)
    print(f"{passes} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
