#!/usr/bin/python3
"""The package check finds each kind of fault in an otherwise sound package, and finds none in
a sound one (a hand-made package and, given the converter, one it wrote)."""
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.realpath(__file__)))
import packagecheck  # noqa: E402

NS = "http://schemas.microsoft.com/xps/2005/06"
REL = "http://schemas.openxmlformats.org/package/2006/relationships"


def png(w=2, h=2, corrupt=False):
    def chunk(kind, body):
        crc = zlib.crc32(kind + body) & 0xffffffff
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", crc ^ corrupt)
    raw = b"".join(b"\x00" + b"\x80" * (3 * w) for _ in range(h))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def font(glyphs=3):
    """An sfnt with just the tables the check reads; maxp gives the glyph count."""
    tables = {b"cmap": b"\x00" * 4, b"head": b"\x00" * 54,
              b"maxp": struct.pack(">IH", 0x5000, glyphs)}
    out = struct.pack(">IHHHH", 0x10000, len(tables), 0, 0, 0)
    at = 12 + 16 * len(tables)
    body = b""
    for tag, data in sorted(tables.items()):
        out += struct.pack(">4sIII", tag, 0, at + len(body), len(data))
        body += data
    return out + body


def icc():
    data = bytearray(132)
    data[36:40] = b"acsp"
    data[0:4] = struct.pack(">I", len(data))
    return bytes(data)


def parts():
    rels = ('<Relationships xmlns="%s">' % REL +
            '<Relationship Id="R1" Type="%s/required-resource" Target="/Resources/a.png"/>' % NS +
            '<Relationship Id="R2" Type="%s/required-resource" Target="/Resources/f.ttf"/>' % NS +
            '<Relationship Id="R3" Type="%s/required-resource" Target="/Resources/p.icc"/>' % NS +
            '</Relationships>')
    page = ('<FixedPage xmlns="%s" Width="96" Height="48">' % NS +
            '<Path Data="M 0,0 L 10,10" Fill="ContextColor /Resources/p.icc 1,0,0,0,1"/>' +
            '<Path Data="M 0,0 L 10,10 L 0,10 Z"><Path.Fill><ImageBrush ImageSource="/Resources/a.png"'
            ' Viewbox="0,0,2,2" ViewboxUnits="Absolute" Viewport="0,0,10,10"'
            ' ViewportUnits="Absolute"/></Path.Fill></Path>' +
            '<Glyphs FontUri="/Resources/f.ttf" FontRenderingEmSize="12" OriginX="1" OriginY="20"'
            ' Indices="1;2" UnicodeString="ab" Fill="#000000"/>' +
            '</FixedPage>')
    return {
        "[Content_Types].xml":
            '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">'
            '<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>'
            '<Default Extension="fdseq" ContentType="application/vnd.ms-package.xps-fixeddocumentsequence+xml"/>'
            '<Default Extension="fdoc" ContentType="application/vnd.ms-package.xps-fixeddocument+xml"/>'
            '<Default Extension="fpage" ContentType="application/vnd.ms-package.xps-fixedpage+xml"/>'
            '<Default Extension="png" ContentType="image/png"/>'
            '<Default Extension="ttf" ContentType="application/vnd.ms-opentype"/>'
            '<Default Extension="icc" ContentType="application/vnd.ms-color.iccprofile"/>'
            '</Types>',
        "_rels/.rels":
            '<Relationships xmlns="%s"><Relationship Id="R0" Type="%s/fixedrepresentation"'
            ' Target="/FixedDocumentSequence.fdseq"/></Relationships>' % (REL, NS),
        "FixedDocumentSequence.fdseq":
            '<FixedDocumentSequence xmlns="%s"><DocumentReference Source="Documents/1/FixedDocument.fdoc"/>'
            '</FixedDocumentSequence>' % NS,
        "Documents/1/FixedDocument.fdoc":
            '<FixedDocument xmlns="%s"><PageContent Source="Pages/1.fpage"/></FixedDocument>' % NS,
        "Documents/1/Pages/1.fpage": page,
        "Documents/1/Pages/_rels/1.fpage.rels": rels,
        "Resources/a.png": png(),
        "Resources/f.ttf": font(),
        "Resources/p.icc": icc(),
    }


def edit(name, old, new):
    def f(p):
        assert old in p[name], (name, old)
        p[name] = p[name].replace(old, new)
    return f


def drop(name):
    return lambda p: p.pop(name)


def put(name, data):
    return lambda p: p.__setitem__(name, data)


class PackageCheck(unittest.TestCase):
    def check(self, change=None):
        p = parts()
        if change:
            change(p)
        with tempfile.TemporaryDirectory() as d:
            path = os.path.join(d, "x.xps")
            with zipfile.ZipFile(path, "w") as z:
                for name, data in p.items():
                    z.writestr(name, data)
            return packagecheck.check(path)

    def test_sound_package(self):
        self.assertEqual(self.check(), [])

    def test_each_fault_is_found(self):
        cases = [
            ("part without content type", edit("[Content_Types].xml", 'Extension="png"', 'Extension="gif"'), "CT"),
            ("malformed page", edit("Documents/1/Pages/1.fpage", "</FixedPage>", "</Fixed>"), "XML"),
            ("relationship to a missing part", drop("Resources/p.icc"), "REL"),
            ("duplicate Id", edit("Documents/1/Pages/_rels/1.fpage.rels", 'Id="R2"', 'Id="R1"'), "REL"),
            ("no document sequence", drop("FixedDocumentSequence.fdseq"), "REL"),
            ("page missing from the document", drop("Documents/1/Pages/1.fpage"), "CHAIN"),
            ("page with no size", edit("Documents/1/Pages/1.fpage", 'Width="96"', 'Width="0"'), "PAGE"),
            ("image the page names is missing",
             edit("Documents/1/Pages/1.fpage", "/Resources/a.png", "/Resources/b.png"), "RES"),
            ("resource not required by the page",
             edit("Documents/1/Pages/_rels/1.fpage.rels", "/Resources/a.png", "/Resources/f.ttf"), "REQ"),
            ("image with a broken chunk", put("Resources/a.png", png(corrupt=True)), "RES"),
            ("image shorter than its size", put("Resources/a.png", png()[:-40] + png()[-12:]), "RES"),
            ("font that is no font", put("Resources/f.ttf", b"junk" * 10), "RES"),
            ("glyph index past the font", put("Resources/f.ttf", font(glyphs=2)), "GLYPH"),
            ("font without a cmap", put("Resources/f.ttf", font().replace(b"cmap", b"cmaq")), "RES"),
            ("bare CFF program as a font", put("Resources/f.ttf", b"\x01\x00\x04\x04" + b"\x00" * 40), "CFF"),
            ("profile of the wrong size", put("Resources/p.icc", icc() + b"x"), "RES"),
        ]
        for what, change, code in cases:
            with self.subTest(what):
                problems = self.check(change)
                self.assertTrue(any(p.startswith(code + " ") for p in problems),
                                "%s: %s" % (code, problems))

    def test_package_of_the_converter(self):
        vardex = os.environ.get("VARDEX")
        if not vardex:
            self.skipTest("VARDEX not set")
        sample = os.path.join(os.path.dirname(__file__), "..", "..", "samples", "sample.pdf")
        with tempfile.TemporaryDirectory() as d:
            subprocess.run([vardex, "-q", "-o", d, sample], check=True, capture_output=True)
            self.assertEqual(packagecheck.check(os.path.join(d, "sample.XPS")), [])


if __name__ == "__main__":
    unittest.main()
