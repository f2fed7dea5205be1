#!/usr/bin/env python3
"""Writes the hand-made seed inputs of the fuzz harnesses into their corpus folders.

The seeds named generated_* are copies (or slices) of files the project's data generator
writes into projects/zendra/data; crash-*, timeout-*, slow-* and hang-* are inputs that
once failed.
"""
import os
import struct
import zlib

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


def put(folder, name, data):
    path = os.path.join(ROOT, folder, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data.encode() if isinstance(data, str) else data)


# ---- track files: uint32 count, then {uint32 row, float value, uint8 type} records ----
def track(count, records):
    return struct.pack("<I", count) + b"".join(struct.pack("<IfB", r, v, t) for r, v, t in records)


T = "libraries/sync/fuzz/corpus"
put(T, "valid_all_types", track(5, [(0, 1.0, 0), (8, 2.0, 1), (16, -3.0, 2), (24, 4.0, 3), (32, 5.0, 4)]))
put(T, "count_zero", track(0, []))
put(T, "empty", b"")
put(T, "short_count", b"\x02\x00\x00")
put(T, "truncated_record", track(3, [(0, 1.0, 1), (4, 2.0, 1)]) + b"\x08\x00\x00\x00\x00")
put(T, "repeated_unsorted_rows", track(4, [(20, 1.0, 1), (5, 2.0, 2), (20, 7.0, 4), (0, 0.5, 0)]))
put(T, "type_out_of_range", track(2, [(0, 1.0, 5), (10, 2.0, 255)]))
put(T, "huge_count", track(0xFFFFFFFF, [(1, 1.0, 1)]))
put(T, "extreme_values", track(4, [(0xFFFFFFFF, float("nan"), 1), (0, float("inf"), 4),
                                    (0x7FFFFFFF, -float("inf"), 2), (1, 3.4e38, 3)]))

# ---- scene descriptions ----
CH = ["translateX", "translateY", "translateZ", "rotateX", "rotateY", "rotateZ", "scaleX", "scaleY", "scaleZ"]


def trans(name, text="0 0 0 0", skip=None):
    attrs = "".join(' %s="%s"' % (c, text) for c in CH if c != skip)
    return '<trans name="%s"%s/>' % (name, attrs) if name is not None else "<trans%s/>" % attrs


CAM = '<camera name="%s" nearz="0.5" farz="600" nearfocus="12" farfocus="60" vFOV="0.9" aspect="1.6"%s/>'
S = "libraries/fw/fuzz/corpus_scene"
put(S, "empty_scene", "<scene/>")
put(S, "no_scene_root", "<other><transforms/></other>")
put(S, "not_xml", "scene { transforms }")
put(S, "unclosed", "<scene><transforms>" + trans("a"))
put(S, "empty_file", "")
put(S, "sorted_keys", "<scene><transforms>" + trans("t", "1 5 0 0 0 2 0 0") + "</transforms></scene>")
put(S, "equal_time_replaces", "<scene><transforms>" + trans("t", "0 1 0 0 0 7 0 0") + "</transforms></scene>")
put(S, "incomplete_group", "<scene><transforms>" + trans("t", "0 1 0 0 5 2") + "</transforms></scene>")
put(S, "no_keys", "<scene><transforms>" + trans("t", "") + "</transforms></scene>")
put(S, "bad_numbers", "<scene><transforms>" + trans("t", "0 nan 0 0 1 1e999 0 0 x 2") + "</transforms></scene>")
put(S, "other_elements", "<scene><transforms><!-- c --><other/><trans/>" + trans(None) +
    trans("t", skip="rotateY") + trans("ok") + "</transforms></scene>")
put(S, "duplicate_names", "<scene><transforms>" + trans("t", "0 1 0 0") + trans("t", "0 4 0 0") +
    "</transforms></scene>")
put(S, "cameras", "<scene><transforms>" + trans("cam", "0 1 0 0 10 2 1 1") + "</transforms><cameras>" +
    CAM % ("cam", ' extra="1"') + CAM % ("nobody", "") +
    '<camera name="cam" nearz="x"/><camera/></cameras></scene>')

# ---- .obj, a NUL byte, then .mtl ----
CUBE = ("mtllib cube.mtl\nv -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
        "vn 0 0 -1\nvn 0 0 1\nvn 0 -1 0\nvn 0 1 0\nvn -1 0 0\nvn 1 0 0\nvt 0 0\nvt 1 0\nvt 1 1\n"
        "f 1//1 3//1 2//1\nf 1//1 4//1 3//1\nusemtl red\nf 5/1/2 6/2/2 7/3/2\nf 5//2 7//2 8//2\n"
        "usemtl blue\nf 1 2 6\nf 1 6 5 4\n")
MTL = ("newmtl red\nKa 0.1 0.1 0.1\nKd 1 0 0\nKs 1 1 1\nNs 32.5\nd 0.5\nillum 2\nmap_Kd tex.png\n"
       "newmtl blue\nKd 0 0 1\nTr 0.3\nnewmtl unused\nKd 9 9 9 newmtl red\n")
M = "libraries/fw/fuzz/corpus_mesh"
put(M, "cube", CUBE + "\0" + MTL)
put(M, "faces_before_usemtl", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nusemtl late\nf 3 2 1\n\0newmtl late\nKd 1 1 1\n")
put(M, "index_out_of_range", "v 0 0 0\nv 1 0 0\nf 1 2 3\nf 1 2 -1\n")
put(M, "malformed_number", "v 0 0 0\nv 1 x 0\nv 0 1 0\nf 1 2 3\n")
put(M, "negative_and_zero", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf -1 -2 -3\nf 0 1 2\nf 1/0/0 2 3\n")
put(M, "missing_names", "mtllib\nusemtl\n\0newmtl\n")
put(M, "empty", "")

# ---- images ----
def dds(width, height, pf, caps2=0, mips=0, depth=0, dx10=None, data=b""):
    flags = 0x1 | 0x2 | 0x4 | 0x1000 | (0x20000 if mips else 0) | (0x800000 if depth else 0)
    header = struct.pack("<7I", 124, flags, height, width, 0, depth, mips) + b"\0" * 44 + pf
    header += struct.pack("<5I", 0x1000 | (0x8 if mips or caps2 else 0), caps2, 0, 0, 0)
    out = b"DDS " + header
    if dx10:
        out += struct.pack("<5I", *dx10)
    return out + data


def pf_fourcc(code):
    code = code.encode() if isinstance(code, str) else struct.pack("<I", code)
    return struct.pack("<II", 32, 0x4) + code + b"\0" * 20


def pf_masks(flags, bits, r, g, b, a):
    return struct.pack("<8I", 32, flags, 0, bits, r, g, b, a)


RGBA = pf_masks(0x41, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000)
ddsfiles = {
    "rgba8_2x2": dds(2, 2, RGBA, data=bytes(range(16))),
    "rgba8_mips": dds(4, 2, RGBA, mips=3, data=bytes(range(256))[:(8 + 2 + 1) * 4]),
    "dxt1_4x4_mips": dds(4, 4, pf_fourcc("DXT1"), mips=3, data=b"\xff\xff\x00\x00\x1b\x1b\x1b\x1b" * 3),
    "dxt5_8x4": dds(8, 4, pf_fourcc("DXT5"), data=bytes(range(32))),
    "ati2_4x4": dds(4, 4, pf_fourcc("ATI2"), data=bytes(range(16))),
    "float_code_1x1": dds(1, 1, pf_fourcc(116), data=struct.pack("<4f", 0.5, 1e30, float("nan"), -1)),
    "half_code_2x1": dds(2, 1, pf_fourcc(113), data=b"\x00\x3c\x00\x7c\x00\xfc\x01\x7e" * 2),
    "bgr24_masked": dds(2, 2, pf_masks(0x40, 24, 0xFF0000, 0xFF00, 0xFF, 0), data=bytes(range(12))),
    "rgb565_masked": dds(2, 1, pf_masks(0x40, 16, 0xF800, 0x7E0, 0x1F, 0), data=b"\x1f\xf8\xe0\x07"),
    "luminance8": dds(3, 1, pf_masks(0x20000, 8, 0xFF, 0, 0, 0), data=b"\x00\x80\xff"),
    "alpha8": dds(1, 1, pf_masks(0x2, 8, 0, 0, 0, 0xFF), data=b"\x80"),
    "rg16_masked": dds(1, 1, pf_masks(0x40, 32, 0xFFFF, 0xFFFF0000, 0, 0), data=b"\x01\x02\x03\x04"),
    "cube_rgba8": dds(1, 1, RGBA, caps2=0x200 | 0xFC00, data=bytes(range(24))),
    "cube_partial": dds(1, 1, RGBA, caps2=0x200 | 0x400, data=bytes(range(24))),
    "volume_r8": dds(2, 2, pf_masks(0x20000, 8, 0xFF, 0, 0, 0), caps2=0x200000, depth=2, data=bytes(8)),
    "dx10_bc5_array": dds(4, 4, pf_fourcc("DX10"), dx10=(83, 3, 0, 2, 0), data=bytes(range(32))),
    "dx10_r32f_cube": dds(1, 1, pf_fourcc("DX10"), dx10=(41, 3, 4, 1, 0), data=bytes(24)),
    "dx10_volume_r16f": dds(1, 1, pf_fourcc("DX10"), depth=3, dx10=(54, 4, 0, 1, 0), data=b"\x00\x3c" * 3),
    "dx10_1d_rgb10a2": dds(4, 9, pf_fourcc("DX10"), dx10=(24, 2, 0, 1, 0), data=bytes(16)),
    "dx10_bad_format": dds(1, 1, pf_fourcc("DX10"), dx10=(999, 3, 0, 1, 0), data=bytes(4)),
    "truncated_texels": dds(16, 16, RGBA, data=bytes(100)),
    "truncated_header": dds(4, 4, RGBA)[:60],
    "huge_extent": dds(16384, 16384, RGBA, mips=15, data=bytes(64)),
    "bad_mip_count": dds(2, 2, RGBA, mips=9, data=bytes(64)),
}
for name, data in ddsfiles.items():
    put("libraries/platform/d3dx10/images/fuzz/corpus_dds", name, data[4:])
for name in ("rgba8_mips", "dxt1_4x4_mips", "bgr24_masked", "cube_rgba8", "truncated_texels"):
    put("libraries/platform/d3dx10/images/fuzz/corpus_formats", "dds_" + name, ddsfiles[name])


def png(width, height, bitdepth, colour, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    raw = b"".join(b"\0" + r for r in rows)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, bitdepth, colour, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


F = "libraries/platform/d3dx10/images/fuzz/corpus_formats"
put(F, "png_rgba8_2x2", png(2, 2, 8, 6, [bytes(range(8)), bytes(range(8, 16))]))
put(F, "png_rgb16_2x1", png(2, 1, 16, 2, [bytes(range(12))]))
put(F, "png_grey_3x1", png(3, 1, 8, 0, [b"\x00\x80\xff"]))
put(F, "png_truncated", png(8, 8, 8, 6, [bytes(32)] * 8)[:50])
put(F, "bmp_24_2x2", b"BM" + struct.pack("<IHHI", 70, 0, 0, 54) +
    struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 24, 0, 16, 0, 0, 0, 0) + bytes(range(6)) + b"\0\0" + bytes(range(6)) + b"\0\0")
put(F, "tga_rgb24_2x1", struct.pack("<BBBHHBHHHHBB", 0, 0, 2, 0, 0, 0, 0, 0, 2, 1, 24, 0) + bytes(range(6)))
put(F, "tga_rle_3x1", struct.pack("<BBBHHBHHHHBB", 0, 0, 10, 0, 0, 0, 0, 0, 3, 1, 32, 8) + b"\x82\x01\x02\x03\x04")
put(F, "hdr_2x1", b"#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y 1 +X 2\n" + b"\x80\x80\x80\x81\x40\x40\x40\x82")
put(F, "unknown", b"GIF89a")
