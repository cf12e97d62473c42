#!/usr/bin/env python3
"""Checks the generated start window template against the program's window, field by field,
with a reader written independently of the generator; and the generator's refusals."""

import os
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "..")
GEN = os.path.join(ROOT, "tools", "template_gen", "template_gen.py")
APP = os.path.join(ROOT, "app")


class Cursor:
    def __init__(self, data, pos=0):
        self.data, self.pos = data, pos

    def word(self):
        (v,) = struct.unpack_from("<I", self.data, self.pos)
        self.pos += 4
        return v

    def short(self):
        (v,) = struct.unpack_from("<H", self.data, self.pos)
        self.pos += 2
        return v

    def raw(self, n):
        v = self.data[self.pos:self.pos + n]
        assert len(v) == n
        self.pos += n
        return v

    def counted(self):
        n = struct.unpack("<i", self.raw(4))[0]
        return self.raw(n) if n > 0 else b""

    def zero(self):
        end = self.data.index(b"\0", self.pos)
        v = self.data[self.pos:end]
        self.pos = end + 1
        return v


def generate(description, handlers, symbol="kT"):
    with tempfile.TemporaryDirectory() as tmp:
        out = os.path.join(tmp, "t.cpp")
        binary = os.path.join(tmp, "t.bin")
        proc = subprocess.run([sys.executable, GEN, description, handlers, symbol, "-o", out, "--bin", binary],
                              capture_output=True, text=True)
        if proc.returncode != 0:
            return proc, None, None
        with open(binary, "rb") as f, open(out, encoding="utf-8") as g:
            return proc, f.read(), g.read()


def parse_items(unit_list, count):
    ids = struct.unpack_from("<%dI" % count, unit_list, 0)
    offsets = struct.unpack_from("<%dI" % count, unit_list, 4 * count)
    items = []
    for i in range(count):
        c = Cursor(unit_list, 8 * count + offsets[i])
        length = c.word()
        items.append((ids[i], unit_list[c.pos:c.pos + length]))
    return items


def walk_item(data):
    c = Cursor(data)
    item = {"type": c.word(), "link": c.word(), "reserved": [c.word() for _ in range(4)]}
    item["name"] = c.zero().decode("gbk")
    item["comment"] = c.zero()
    item["slot"] = c.word()
    item["rect"] = [struct.unpack("<i", c.raw(4))[0] for _ in range(4)]
    item["cursor"], item["parent"], n = c.word(), c.word(), c.word()
    item["list"] = [c.word() for _ in range(n)]
    item["mouse"] = c.counted()
    item["tag"] = c.zero()
    c.word()
    item["flags"], item["tab"], e = c.word(), c.word(), c.word()
    item["events"] = [(struct.unpack("<i", c.raw(4))[0], c.word()) for _ in range(e)]
    item["tail"] = [c.word() for _ in range(5)]
    item["block"] = data[c.pos:]
    return item


class StartWindow(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        proc, cls.data, cls.source = generate(os.path.join(APP, "start_window.json"),
                                              os.path.join(APP, "handlers.def"), "kStartWindowTemplate")
        assert cls.data is not None, proc.stderr

    def test_directory_and_record(self):
        c = Cursor(self.data)
        self.assertEqual(8, c.word())
        self.assertEqual(0x52010001, c.word())
        c.word()
        self.assertEqual((0xFFFFFFFF, 0x19010007), (c.word(), c.word()))
        self.assertEqual((b"", b""), (c.counted(), c.counted()))
        self.assertEqual(6, c.word())
        unit_list = c.counted()
        self.assertEqual(len(self.data), c.pos)
        self.assertEqual(len(self.data) - 36, len(unit_list))

    def items(self):
        c = Cursor(self.data, 4 + 8 + 8 + 8)
        count = c.word()
        return [(i, walk_item(d)) for i, d in parse_items(c.counted(), count)]

    def test_units_as_the_program_defines_them(self):
        expected = [
            (0x06010000, 0x00010001, "", [50, 50, 418, 417], 1, [(0, 0x3D6)]),
            (0x160117D3, 0x00020006, "超级编辑框1", [216, 24, 192, 344], 5, []),
            (0x16010006, 0x0001000B, "按钮3", [160, 176, 48, 24], 5, [(0, 0x2E)]),
            (0x16010005, 0x0001000B, "按钮2", [160, 264, 48, 24], 5, [(0, 0x0)]),
            (0x16010004, 0x0001000B, "按钮1", [160, 88, 48, 24], 5, [(0, 0x4013)]),
            (0x16010002, 0x00010005, "编辑框1", [8, 24, 144, 344], 5, []),
        ]
        items = self.items()
        self.assertEqual(len(expected), len(items))
        for (uid, item), (eid, etype, name, rect, flags, events) in zip(items, expected):
            with self.subTest(name=name):
                self.assertEqual(eid, uid)
                self.assertEqual(etype, item["type"])
                self.assertEqual(name, item["name"])
                self.assertEqual(rect, item["rect"])
                self.assertEqual(flags, item["flags"])
                self.assertEqual(events, item["events"])
                self.assertEqual((0, 0, 0, [], 0), (item["link"], item["parent"], item["slot"], item["list"], item["tab"]))
                self.assertEqual(struct.pack("<I", 0), item["mouse"])
                self.assertEqual(b"", item["tag"])
                self.assertEqual([0] * 5, item["tail"])

    def test_class_blocks(self):
        items = dict(self.items())
        window = Cursor(items[0x06010000]["block"])
        words = [window.word() for _ in range(19)]
        self.assertEqual([6, 2, 1, 0xFF000000, 0, 1, 1, 1, 1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0], words)
        self.assertEqual(b"", window.counted())          # class name
        self.assertEqual(b"", window.counted())          # background picture
        icon = window.counted()
        self.assertEqual(b"\0\0\1\0", icon[:4])           # an icon file
        self.assertGreater(len(icon), 1000)
        self.assertEqual(b"", window.counted())          # sound
        self.assertEqual("青柚贴吧未注册账号检测机V1.1", window.counted().decode("gbk"))
        self.assertEqual(b"", window.counted())          # help file
        self.assertEqual(len(window.data), window.pos)

        rich = items[0x160117D3]["block"]
        self.assertEqual(48, len(rich))
        self.assertEqual((1, 0, 1, 0, 1, 1, 0, 1, 0, 0, 0, 0), struct.unpack("<12I", rich))

        for uid, caption in ((0x16010006, "说明"), (0x16010005, "退出"), (0x16010004, "检测")):
            c = Cursor(items[uid]["block"])
            self.assertEqual([1, 0, 1, 1], [c.word() for _ in range(4)])
            self.assertEqual((b"", b""), (c.counted(), c.counted()))
            self.assertEqual(caption, c.counted().decode("gbk"))
            self.assertEqual(len(c.data), c.pos)

        edit = Cursor(items[0x16010002]["block"])
        self.assertEqual([2, 1, 0, 0xFFFFFF, 1, 0, 1, 0, 0, 0], [edit.word() for _ in range(10)])
        self.assertEqual(ord("*"), edit.short())
        self.assertEqual([0, 0, 0, 100, 0, 0], [edit.word() for _ in range(6)])
        self.assertEqual([b""] * 4, [edit.counted() for _ in range(4)])
        self.assertEqual(len(edit.data), edit.pos)

    def test_source_defines_the_symbols(self):
        self.assertIn('extern const unsigned char kStartWindowTemplate[]', self.source)
        self.assertIn("extern const unsigned kStartWindowTemplateSize = %du;" % len(self.data), self.source)


class Refusals(unittest.TestCase):
    def run_with(self, description, handlers_text):
        with tempfile.TemporaryDirectory() as tmp:
            desc = os.path.join(tmp, "d.json")
            handlers = os.path.join(tmp, "h.def")
            with open(desc, "w", encoding="utf-8") as f:
                f.write(description)
            with open(handlers, "w", encoding="utf-8") as f:
                f.write(handlers_text)
            return generate(desc, handlers)[0]

    def test_unknown_handler_name(self):
        proc = self.run_with('{"windows": [{"id": 1, "units": [{"id": "0x06010000", "events": {"0": "Nope"}}]}]}',
                             "HANDLER(Yes, 0x10)\n")
        self.assertNotEqual(0, proc.returncode)
        self.assertIn("Nope", proc.stderr)

    def test_bad_handler_line_and_unknown_property(self):
        self.assertNotEqual(0, self.run_with('{"windows": []}', "HANDLER(Broken)\n").returncode)
        proc = self.run_with('{"windows": [{"id": 1, "units": [{"id": "0x06010000", "properties": {"colour": 1}}]}]}', "")
        self.assertIn("colour", proc.stderr)


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:1])
