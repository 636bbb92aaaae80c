#!/usr/bin/python3
"""The resources of a built Lintora.exe, read back from the file itself:

  check_resources.py EXE VERSION ICON_DIR

the version resource (names and numbers, VERSION being CMakeLists.txt's),
each state's icon group, whose images must be those of its .ico source at
every size the display's scales want, and the user guide's page: one HTML
page whose elements close, with the headings of docs/user_guide.md.
Needs python3-pefile (Debian's, for the system's python3).
"""
import html.parser
import struct
import sys

import pefile

RT_ICON, RT_RCDATA, RT_GROUP_ICON = 3, 10, 14
IDR_USER_GUIDE = 104
# Elements that have no end tag.
VOID = {"meta", "br", "hr", "img", "link", "input"}
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


def resource(pe, kind_id, resource_id):
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        for named in kind.directory.entries:
            if kind.id == kind_id and named.id == resource_id:
                entry = named.directory.entries[0].data.struct
                return pe.get_data(entry.OffsetToData, entry.Size)
    return None


class Page(html.parser.HTMLParser):
    """Whether every element that opens is closed, in order; the headings."""

    def __init__(self):
        super().__init__()
        self.open, self.balanced, self.headings, self.heading = [], True, [], None

    def handle_starttag(self, tag, attrs):
        if tag not in VOID:
            self.open.append(tag)
        if tag in ("h1", "h2"):
            self.heading = ""

    def handle_endtag(self, tag):
        self.balanced = self.balanced and bool(self.open) and self.open.pop() == tag
        if tag in ("h1", "h2"):
            self.headings.append(self.heading)
            self.heading = None

    def handle_data(self, data):
        if self.heading is not None:
            self.heading += data


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
    page = resource(pe, RT_RCDATA, IDR_USER_GUIDE)
    check("the user guide is stored", page is not None)
    text = (page or b"").decode("utf-8", "replace")
    parsed = Page()
    parsed.feed(text)
    check("the guide is one HTML page whose elements all close",
          text.startswith("<!DOCTYPE html>") and parsed.balanced and not parsed.open, parsed.open)
    source = open(f"{icon_dir}/../../docs/user_guide.md", encoding="utf-8").read()
    wanted = [line.lstrip("#").strip() for line in source.splitlines() if line.startswith(("# ", "## "))]
    check("the guide holds the headings of docs/user_guide.md", parsed.headings == wanted, parsed.headings)
    check(f"the guide states version {version}", f"Version {version}" in text)
    print(f"{passes} passed, {failures} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
