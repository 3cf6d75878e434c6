"""How close two renderings of a page are.

Both are RGB images of the same resolution. Two figures:
  diff   share of pixels whose largest channel differs by more than 40/255 once both images
         went through a 3x3 box blur (the blur forgives anti-aliasing and sub-pixel shifts)
  inkF1  overlap of the dark pixels: a pixel darker than 160 in one image counts as matched
         when the other has a pixel darker than 200 within one pixel; the F1 of both
         directions. On a text page it drops sharply for missing, shifted or wrong glyphs,
         where the white paper keeps the diff share low.
"""
import numpy as np

THRESHOLD = 40
STRONG, WEAK = 160, 200


def read_pnm(path):
    """A binary PPM (P6) or PGM (P5) file as an HxWx3 uint8 array."""
    with open(path, "rb") as f:
        data = f.read()
    fields, at = [], 0
    while len(fields) < 4:
        while data[at:at + 1].isspace():
            at += 1
        if data[at:at + 1] == b"#":
            at = data.index(b"\n", at) + 1
            continue
        end = at
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[at:end])
        at = end
    at += 1
    magic, w, h, maxval = fields[0], int(fields[1]), int(fields[2]), int(fields[3])
    if maxval != 255 or magic not in (b"P5", b"P6"):
        raise ValueError("%s: unsupported image (%s, maxval %d)" % (path, magic, maxval))
    channels = 3 if magic == b"P6" else 1
    img = np.frombuffer(data, np.uint8, w * h * channels, at).reshape(h, w, channels)
    return np.repeat(img, 3, axis=2) if channels == 1 else img


def box3(a):
    p = np.pad(a, ((1, 1), (1, 1), (0, 0)), mode="edge").astype(np.float32)
    h, w = a.shape[:2]
    s = sum(p[dy:dy + h, dx:dx + w] for dy in range(3) for dx in range(3))
    return s / 9.0


def dilate(m):
    p = np.pad(m, 1)
    h, w = m.shape
    out = np.zeros_like(m)
    for dy in range(3):
        for dx in range(3):
            out |= p[dy:dy + h, dx:dx + w]
    return out


def grey(a):
    return a.astype(np.float32) @ np.array([0.299, 0.587, 0.114], np.float32)


def ink_f1(ga, gb):
    sa, sb = ga < STRONG, gb < STRONG
    na, nb = int(sa.sum()), int(sb.sum())
    if na == 0 and nb == 0:
        return 1.0
    if na == 0 or nb == 0:
        return 0.0
    recall = float((sa & dilate(gb < WEAK)).sum()) / na
    precision = float((sb & dilate(ga < WEAK)).sum()) / nb
    return 0.0 if recall + precision == 0 else 2 * recall * precision / (recall + precision)


def compare(ref, got):
    """(diff share, inkF1, ink share of the reference, sizes equal within a pixel)."""
    h, w = min(ref.shape[0], got.shape[0]), min(ref.shape[1], got.shape[1])
    same_size = abs(ref.shape[0] - got.shape[0]) <= 1 and abs(ref.shape[1] - got.shape[1]) <= 1
    a, b = ref[:h, :w], got[:h, :w]
    diff = np.max(np.abs(box3(a) - box3(b)), axis=2) > THRESHOLD
    ink = float(np.mean(np.min(a, axis=2) < 245))
    return float(np.mean(diff)), ink_f1(grey(a), grey(b)), ink, same_size
