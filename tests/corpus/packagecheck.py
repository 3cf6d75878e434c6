#!/usr/bin/python3
"""Checks an XPS package as a strict reader would take it apart.

usage: packagecheck.py [-q] FILE.xps ...

Every problem is one line "CODE part: detail"; the exit status is 0 when there is none, 1
otherwise. What is checked:
  ZIP        the container opens, every entry reads back, no name twice (case ignored)
  XML        every XML part is well-formed
  CT         [Content_Types].xml gives every part a content type; XML parts get an XML type
  REL        every relationship part: Ids present and unique, targets given and present
  CHAIN      _rels/.rels -> document sequence -> documents -> pages, each present and of the
             right root element
  PAGE       page size, and the attributes a reader cannot do without
  RES        every resource a page names (images, fonts, colour profiles, dictionaries) is a
             part, has a fitting content type and plausible data
  REQ        every resource a page names is a required resource in that page's relationships
  GLYPH      glyph indices lie inside the font's glyph count
  CFF        a font part holds a bare CFF program (readers built on FreeType draw it; a strict
             reader wants an OpenType font)
Only the standard library is used, so the check runs wherever the converter's tests run.
"""
import posixpath
import re
import struct
import sys
import zipfile
import zlib
import xml.etree.ElementTree as ET

XPS_NS = "http://schemas.microsoft.com/xps/2005/06"
REL_NS = "http://schemas.openxmlformats.org/package/2006/relationships"
CT_NS = "http://schemas.openxmlformats.org/package/2006/content-types"
FIXEDREP = XPS_NS + "/fixedrepresentation"
REQUIRED = XPS_NS + "/required-resource"

FONT_TYPES = ("application/vnd.ms-opentype", "application/vnd.ms-package.obfuscated-opentype",
              "application/x-font-ttf", "application/vnd.ms-package.xps-font")
IMAGE_TYPES = ("image/png", "image/jpeg", "image/tiff", "image/vnd.ms-photo")
ICC_TYPES = ("application/vnd.ms-color.iccprofile",)
DICT_TYPES = ("application/vnd.ms-package.xps-resourcedictionary+xml",)


def is_xml_type(ct):
    ct = ct.lower()
    return ct.endswith("+xml") or ct.endswith("/xml")


class Checker:
    def __init__(self, path):
        self.path = path
        self.problems = []
        self.parts = {}      # lower-case name -> zip entry name
        self.data = {}       # zip entry name -> bytes
        self.types = {}      # zip entry name -> content type
        self.pages = []      # zip entry names of the pages in document order
        self._glyph_counts = {}

    def fail(self, code, part, detail):
        self.problems.append("%s %s: %s" % (code, part or "-", detail))

    # --- container -------------------------------------------------------------------
    def read_zip(self):
        try:
            zf = zipfile.ZipFile(self.path)
        except (zipfile.BadZipFile, OSError) as e:
            self.fail("ZIP", None, "not a zip archive (%s)" % e)
            return False
        with zf:
            for info in zf.infolist():
                name = info.filename
                if name.endswith("/"):
                    continue
                low = name.lower()
                if low in self.parts:
                    self.fail("ZIP", name, "part name given twice")
                    continue
                if name.startswith("/") or "\\" in name or "//" in name or name != name.strip():
                    self.fail("ZIP", name, "not a valid part name")
                try:
                    self.data[name] = zf.read(info)
                except (zipfile.BadZipFile, zlib.error, OSError, EOFError) as e:
                    self.fail("ZIP", name, "entry does not read back (%s)" % e)
                    continue
                self.parts[low] = name
        return True

    def part(self, name):
        """The zip entry of a part name (leading '/' optional, case ignored), or None."""
        return self.parts.get(name.lstrip("/").lower())

    def parse(self, name):
        try:
            return ET.fromstring(self.data[name])
        except ET.ParseError as e:
            self.fail("XML", name, "not well-formed (%s)" % e)
        return None

    # --- content types ---------------------------------------------------------------
    def read_content_types(self):
        ct = self.part("[Content_Types].xml")
        if not ct:
            self.fail("CT", "[Content_Types].xml", "missing")
            return
        root = self.parse(ct)
        if root is None:
            return
        if root.tag != "{%s}Types" % CT_NS:
            self.fail("CT", ct, "root element is %s, not Types" % root.tag)
        defaults, overrides = {}, {}
        for el in root:
            if el.tag == "{%s}Default" % CT_NS:
                ext, typ = el.get("Extension"), el.get("ContentType")
                if not ext or not typ:
                    self.fail("CT", ct, "Default without Extension or ContentType")
                    continue
                if ext.lower() in defaults:
                    self.fail("CT", ct, "extension %s given twice" % ext)
                defaults[ext.lower()] = typ
            elif el.tag == "{%s}Override" % CT_NS:
                pn, typ = el.get("PartName"), el.get("ContentType")
                if not pn or not typ or not pn.startswith("/"):
                    self.fail("CT", ct, "Override without an absolute PartName or ContentType")
                    continue
                overrides[pn.lower()] = typ
            else:
                self.fail("CT", ct, "unknown element %s" % el.tag)
        for name in self.data:
            if name == ct:
                continue
            typ = overrides.get("/" + name.lower())
            if typ is None:
                # The extension follows the last dot of the last segment: ".rels" has one.
                last = name.rsplit("/", 1)[-1]
                typ = defaults.get(last.rpartition(".")[2].lower()) if "." in last else None
            if typ is None:
                self.fail("CT", name, "no content type")
            else:
                self.types[name] = typ

    # --- relationships ---------------------------------------------------------------
    def rels_name(self, source):
        """The relationship part of a source part ("" is the package)."""
        d, b = posixpath.split(source)
        return posixpath.join(d, "_rels", b + ".rels")

    def resolve(self, base_part, target):
        """A target URI relative to the part it appears in, as a part name without '/'."""
        target = target.split("#", 1)[0]
        if target.startswith("/"):
            path = target
        else:
            path = posixpath.join("/" + posixpath.dirname(base_part), target)
        return posixpath.normpath(path).lstrip("/")

    def read_rels(self, source):
        """[(type, resolved target)] of a source part; [] when it has no relationship part."""
        name = self.part(self.rels_name(source))
        if not name:
            return None
        root = self.parse(name)
        if root is None:
            return []
        if root.tag != "{%s}Relationships" % REL_NS:
            self.fail("REL", name, "root element is %s, not Relationships" % root.tag)
            return []
        out, ids = [], set()
        for el in root:
            if el.tag != "{%s}Relationship" % REL_NS:
                self.fail("REL", name, "unknown element %s" % el.tag)
                continue
            rid, typ, target = el.get("Id"), el.get("Type"), el.get("Target")
            if not rid or not re.match(r"^[A-Za-z_][\w.-]*$", rid):
                self.fail("REL", name, "relationship without a valid Id (%r)" % rid)
            elif rid in ids:
                self.fail("REL", name, "Id %s given twice" % rid)
            ids.add(rid)
            if not typ or not target:
                self.fail("REL", name, "relationship %s without Type or Target" % rid)
                continue
            if el.get("TargetMode") == "External":
                continue
            resolved = self.resolve(source, target)
            if not self.part(resolved):
                self.fail("REL", name, "target %s is not in the package" % target)
                continue
            out.append((typ, self.part(resolved)))
        return out

    def check_all_rels(self):
        for name in list(self.data):
            m = re.match(r"^(.*?)_rels/([^/]*)\.rels$", name)
            if not m:
                continue
            source = m.group(1) + m.group(2)
            if source and not self.part(source):
                self.fail("REL", name, "describes %s, which is not in the package" % source)
            if name.endswith(".rels") and self.types.get(name, "").lower() != \
                    "application/vnd.openxmlformats-package.relationships+xml":
                self.fail("CT", name, "relationship part of type %s" % self.types.get(name))

    # --- the document chain ----------------------------------------------------------
    def root_of(self, name, tag):
        root = self.parse(name)
        if root is not None and root.tag != "{%s}%s" % (XPS_NS, tag):
            self.fail("CHAIN", name, "root element is %s, not %s" % (root.tag, tag))
            return None
        return root

    def follow_chain(self):
        rels = self.read_rels("")
        if rels is None:
            self.fail("CHAIN", "_rels/.rels", "missing")
            return
        seqs = [t for typ, t in rels if typ == FIXEDREP]
        if len(seqs) != 1:
            self.fail("CHAIN", "_rels/.rels", "%d fixed-representation relationships" % len(seqs))
            return
        seq = self.root_of(seqs[0], "FixedDocumentSequence")
        if seq is None:
            return
        docs = [el.get("Source") for el in seq if el.tag == "{%s}DocumentReference" % XPS_NS]
        if not docs:
            self.fail("CHAIN", seqs[0], "no DocumentReference")
        for src in docs:
            doc = self.part(self.resolve(seqs[0], src or ""))
            if not src or not doc:
                self.fail("CHAIN", seqs[0], "document %s is not in the package" % src)
                continue
            root = self.root_of(doc, "FixedDocument")
            if root is None:
                continue
            for el in root:
                if el.tag != "{%s}PageContent" % XPS_NS:
                    continue
                src = el.get("Source")
                page = self.part(self.resolve(doc, src or ""))
                if not src or not page:
                    self.fail("CHAIN", doc, "page %s is not in the package" % src)
                    continue
                self.pages.append(page)

    # --- pages and their resources ---------------------------------------------------
    def check_page(self, page):
        root = self.root_of(page, "FixedPage")
        if root is None:
            return
        for attr in ("Width", "Height"):
            try:
                if not float(root.get(attr, "")) > 0:
                    raise ValueError
            except ValueError:
                self.fail("PAGE", page, "FixedPage %s is %r" % (attr, root.get(attr)))
        used = {}  # resolved part name -> (kind, uri)
        for el in root.iter():
            tag = el.tag.split("}", 1)[-1]
            for attr, value in el.attrib.items():
                for kind, uri in uris(tag, attr, value):
                    name = self.resolve(page, uri)
                    part = self.part(name)
                    if not part:
                        self.fail("RES", page, "%s %s is not in the package" % (kind, uri))
                        continue
                    used[part] = (kind, uri)
            if tag == "Glyphs":
                self.check_glyphs(page, el)
        rels = self.read_rels(page) or []
        required = {t for typ, t in rels if typ == REQUIRED}
        for part, (kind, uri) in sorted(used.items()):
            self.check_resource(page, part, kind)
            if kind != "dictionary" and part not in required:
                self.fail("REQ", page, "%s %s is not a required resource of the page" % (kind, uri))

    def check_glyphs(self, page, el):
        for attr in ("OriginX", "OriginY", "FontRenderingEmSize"):
            try:
                float(el.get(attr, ""))
            except ValueError:
                self.fail("PAGE", page, "Glyphs %s is %r" % (attr, el.get(attr)))
        if el.get("UnicodeString") is None and el.get("Indices") is None:
            self.fail("PAGE", page, "Glyphs without UnicodeString and Indices")
        font = el.get("FontUri")
        indices = el.get("Indices")
        if not font or not indices:
            return
        part = self.part(self.resolve(page, font))
        count = self.glyph_count(part) if part else None
        if count is None:
            return
        for group in indices.split(";"):
            group = re.sub(r"^\(\d+(:\d+)?\)", "", group.strip())
            first = group.split(",", 1)[0].strip()
            if not first:
                continue
            if not first.isdigit() or int(first) >= count:
                self.fail("GLYPH", page, "glyph index %s outside %s (%d glyphs)" % (first, part, count))
                return

    def glyph_count(self, part):
        if part not in self._glyph_counts:
            self._glyph_counts[part] = font_glyph_count(self.data[part])
        return self._glyph_counts[part]

    def check_resource(self, page, part, kind):
        typ = self.types.get(part, "")
        data = self.data[part]
        wanted = {"image": IMAGE_TYPES, "font": FONT_TYPES, "profile": ICC_TYPES,
                  "dictionary": DICT_TYPES}[kind]
        if typ.lower() not in [w.lower() for w in wanted]:
            self.fail("RES", page, "%s %s has content type %s" % (kind, part, typ))
            return
        problem = None
        if kind == "image":
            problem = image_problem(data, typ.lower())
        elif kind == "font" and "obfuscated" not in typ:
            if font_glyph_count(data) is None:
                if len(data) > 4 and data[0] == 1 and data[1] == 0 and 4 <= data[2] <= 32:
                    self.fail("CFF", page, "font %s is a bare CFF program, not an OpenType font" % part)
                    return
                problem = "not a TrueType or OpenType font"
        elif kind == "profile":
            problem = icc_problem(data)
        if problem:
            self.fail("RES", page, "%s %s: %s" % (kind, part, problem))

    def run(self):
        if not self.read_zip():
            return self.problems
        self.read_content_types()
        for name in self.data:
            if is_xml_type(self.types.get(name, "")) and name not in ("[Content_Types].xml",):
                self.parse(name)
        self.check_all_rels()
        self.follow_chain()
        for page in self.pages:
            self.check_page(page)
        # One message per fault, though several checks may meet it.
        seen, out = set(), []
        for p in self.problems:
            if p not in seen:
                seen.add(p)
                out.append(p)
        self.problems = out
        return out


def uris(tag, attr, value):
    """The (kind, uri) resources an attribute of page markup names."""
    if attr == "FontUri":
        yield "font", value
    elif attr == "ImageSource":
        m = re.match(r"^\{\s*ColorConvertedBitmap\s+(\S+)\s+(\S+)\s*\}$", value)
        if m:
            yield "image", m.group(1)
            yield "profile", m.group(2)
        elif not value.startswith("{"):
            yield "image", value
    elif attr == "Source" and tag == "ResourceDictionary":
        yield "dictionary", value
    if value.startswith("ContextColor "):
        parts = value.split()
        if len(parts) >= 2:
            yield "profile", parts[1]


def font_glyph_count(data):
    """The glyph count of a TrueType/OpenType font (maxp), or None when it is not one."""
    if len(data) < 12 or data[:4] not in (b"\x00\x01\x00\x00", b"true", b"OTTO"):
        return None
    n = struct.unpack(">H", data[4:6])[0]
    if 12 + 16 * n > len(data):
        return None
    tables = {}
    for i in range(n):
        tag, _, off, length = struct.unpack(">4sIII", data[12 + 16 * i:28 + 16 * i])
        if off + length > len(data):
            return None
        tables[tag] = (off, length)
    if b"maxp" not in tables or b"head" not in tables or b"cmap" not in tables:
        return None
    off, length = tables[b"maxp"]
    if length < 6:
        return None
    return struct.unpack(">H", data[off + 4:off + 6])[0]


def image_problem(data, typ):
    if typ == "image/png":
        return png_problem(data)
    if typ == "image/jpeg":
        if data[:2] != b"\xff\xd8":
            return "not JPEG data"
        if not re.search(b"\xff[\xc0-\xc3\xc5-\xc7\xc9-\xcb\xcd-\xcf]", data):
            return "JPEG data without a frame header"
    return None


def png_problem(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        return "not PNG data"
    at, idat, ihdr = 8, [], None
    while at + 12 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        body = data[at + 8:at + 8 + length]
        if len(body) != length or at + 12 + length > len(data):
            return "chunk %r runs past the end" % kind
        crc = struct.unpack(">I", data[at + 8 + length:at + 12 + length])[0]
        if zlib.crc32(kind + body) & 0xffffffff != crc:
            return "chunk %r has a wrong CRC" % kind
        if kind == b"IHDR":
            ihdr = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            idat.append(body)
        elif kind == b"IEND":
            break
        at += 12 + length
    else:
        return "no IEND chunk"
    if not ihdr or not idat:
        return "no IHDR or IDAT chunk"
    w, h, depth, colour, _, _, interlace = ihdr
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}.get(colour)
    if not w or not h or channels is None or depth not in (1, 2, 4, 8, 16):
        return "IHDR %dx%d depth %d colour type %d" % (w, h, depth, colour)
    try:
        raw = zlib.decompress(b"".join(idat))
    except zlib.error as e:
        return "image data does not inflate (%s)" % e
    if interlace == 0:
        want = h * (1 + (w * channels * depth + 7) // 8)
        if len(raw) != want:
            return "image data holds %d bytes, %dx%d needs %d" % (len(raw), w, h, want)
    return None


def icc_problem(data):
    if len(data) < 128 or data[36:40] != b"acsp":
        return "not an ICC profile"
    if struct.unpack(">I", data[:4])[0] != len(data):
        return "profile size field says %d, the part holds %d" % (
            struct.unpack(">I", data[:4])[0], len(data))
    return None


def check(path):
    return Checker(path).run()


def main(argv):
    quiet = "-q" in argv
    files = [a for a in argv if a != "-q"]
    if not files:
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    bad = 0
    for f in files:
        problems = check(f)
        bad += bool(problems)
        for p in problems:
            print("%s: %s" % (f, p))
        if not quiet:
            print("%s: %s" % (f, "ok" if not problems else "%d problems" % len(problems)))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
