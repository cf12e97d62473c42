#!/usr/bin/env python3
"""Builds a window template from a readable description of windows and units.

The description is a JSON file (see app/start_window.json). Event bindings name handler
routines; the handler list file (lines ``HANDLER(name, offset)``) turns each name into its
offset from the program's CodeBase. Each unit gets the PropertyBlock of its class, built from
the class's defaults and the properties the description gives. A window may ask for an icon
drawn here (``"icon": {"draw": "pomelo"}``) or name an icon file.

Output: a C++ source defining ``extern "C" const unsigned char <symbol>[]`` and
``extern "C" const unsigned <symbol>Size``, and optionally the raw template bytes.

Only the Python standard library is used.
"""

import argparse
import json
import os
import re
import struct
import sys

import icon_draw

NO_HANDLER = 0xFFFFFFFF

# Unit type ids of the known classes: library number << 16 | class number.
CLASS_TYPES = {
    "window": 0x00010001,
    "menu": 0x00010003,
    "edit": 0x00010005,
    "button": 0x0001000B,
    "richedit": 0x00020006,
}


class DescriptionError(Exception):
    """A description that cannot be turned into a template."""


def number(value, what):
    """An integer from an int or a string such as "0x52010001" or "-1"."""
    if isinstance(value, bool):
        return int(value)
    if isinstance(value, int):
        return value
    if isinstance(value, str):
        try:
            return int(value, 0)
        except ValueError:
            pass
    raise DescriptionError("%s: not a number: %r" % (what, value))


def word(value, what="word"):
    """Four little-endian bytes of a signed or unsigned 32-bit value."""
    v = number(value, what)
    if not -0x80000000 <= v <= 0xFFFFFFFF:
        raise DescriptionError("%s: %d does not fit in 32 bits" % (what, v))
    return struct.pack("<I", v & 0xFFFFFFFF)


def gbk(text):
    return text.encode("gbk")


def counted_text(text):
    data = gbk(text)
    return word(len(data)) + data


def counted_block(data):
    return word(len(data)) + data


def zero_text(text):
    data = gbk(text)
    if b"\0" in data:
        raise DescriptionError("text holds a zero byte: %r" % text)
    return data + b"\0"


def read_handlers(path):
    """Handler name -> offset from a list of lines HANDLER(name, offset).

    The same file is included by the assembler into the handler entry table, so it may hold
    C comments (/* */ and //) and blank lines; anything else is an error.
    """
    handlers = {}
    pattern = re.compile(r"^\s*HANDLER\(\s*([A-Za-z_][A-Za-z0-9_]*)\s*,\s*(0[xX][0-9A-Fa-f]+|[0-9]+)\s*\)\s*;?\s*$")
    with open(path, encoding="utf-8") as f:
        text = f.read()
    # Blank out block comments but keep their line breaks, so line numbers stay right.
    text = re.sub(r"/\*.*?\*/", lambda m: "\n" * m.group(0).count("\n"), text, flags=re.S)
    for line_number, line in enumerate(text.split("\n"), 1):
        line = line.split("//", 1)[0]
        if not line.strip():
            continue
        m = pattern.match(line)
        if not m:
            raise DescriptionError("%s:%d: not a HANDLER line" % (path, line_number))
        name, offset = m.group(1), int(m.group(2), 0)
        if name in handlers:
            raise DescriptionError("%s:%d: handler %s listed twice" % (path, line_number, name))
        handlers[name] = offset
    return handlers


def handler_word(value, handlers, what):
    """A binding's stored handler: a name from the list, an offset, or null for none."""
    if value is None:
        return NO_HANDLER
    if isinstance(value, str) and not re.match(r"^-?(0x[0-9A-Fa-f]+|[0-9]+)$", value):
        if value not in handlers:
            raise DescriptionError("%s: handler %s is not in the handler list" % (what, value))
        return handlers[value]
    return number(value, what) & 0xFFFFFFFF


# PropertyBlocks of the classes. Each is (field name, kind, default, minimum version); kinds:
# "w" word, "h" 16-bit field, "t" counted text, "b" counted block. The version word comes first.

WINDOW_FIELDS = [
    ("border", "w", 2, 0), ("picture_mode", "w", 1, 0), ("back_color", "w", 0xFF000000, 0),
    ("max_button", "w", 0, 0), ("min_button", "w", 0, 0), ("control_box", "w", 1, 0),
    ("start_position", "w", 1, 0), ("movable", "w", 1, 0), ("music_play_mode", "w", 0, 0),
    ("enter_moves_focus", "w", 0, 0), ("esc_closes", "w", 1, 0), ("f1_help", "w", 0, 0),
    ("help_context", "w", 0, 0), ("show_in_taskbar", "w", 1, 2), ("drag_by_client", "w", 0, 3),
    ("window_shape", "w", 0, 3), ("always_on_top", "w", 0, 4), ("property30", "w", 0, 5),
    ("class_name", "t", "", 6), ("back_picture", "b", b"", 0), ("icon", "b", b"", 0),
    ("back_music", "b", b"", 0), ("title", "t", "", 0), ("help_file", "t", "", 0),
]

EDIT_FIELDS = [
    ("border", "w", 1, 0), ("text_color", "w", 0, 0), ("back_color", "w", 0xFFFFFF, 0),
    ("hide_sel", "w", 1, 0), ("max_length", "w", 0, 0), ("multi_line", "w", 0, 0),
    ("scroll_bars", "w", 0, 0), ("align", "w", 0, 0), ("input_mode", "w", 0, 0),
    ("password_char", "h", "*", 0), ("case_conversion", "w", 0, 0), ("spin_mode", "w", 0, 0),
    ("spin_min", "w", 0, 0), ("spin_max", "w", 100, 0), ("sel_start", "w", 0, 0),
    ("sel_length", "w", 0, 0), ("font", "b", b"", 0), ("content", "t", "", 0),
    ("data_source", "t", "", 2), ("data_column", "t", "", 2),
]

BUTTON_FIELDS = [
    ("button_type", "w", 0, 0), ("h_align", "w", 1, 0), ("v_align", "w", 1, 0),
    ("picture", "b", b"", 0), ("font", "b", b"", 0), ("caption", "t", "按钮", 0),
]

RICHEDIT_FIELDS = [
    ("context_type", "w", 0, 0), ("border", "w", 1, 0), ("back_color", "w", 0xFF000000, 0),
    ("multi_line", "w", 1, 0), ("auto_wrap", "w", 1, 0), ("read_only", "w", 0, 0),
    ("hide_sel", "w", 1, 0), ("max_length", "w", 0, 0), ("sel_start", "w", 0, 0),
    ("sel_length", "w", 0, 0), ("content", "t", "", 0),
]

CLASS_BLOCKS = {
    "window": (WINDOW_FIELDS, 6),
    "edit": (EDIT_FIELDS, 2),
    "button": (BUTTON_FIELDS, 1),
    "richedit": (RICHEDIT_FIELDS, 1),
}


def block_bytes(value, base_dir, what):
    """A block property: hex text, {"file": path}, {"draw": design} (icons), or bytes."""
    if isinstance(value, bytes):
        return value
    if isinstance(value, str):
        return bytes.fromhex(value)
    if isinstance(value, dict) and "file" in value:
        with open(os.path.join(base_dir, value["file"]), "rb") as f:
            return f.read()
    if isinstance(value, dict) and "draw" in value:
        return icon_draw.draw_icon(value["draw"])
    raise DescriptionError("%s: cannot make a block of %r" % (what, value))


def password_field(value, what):
    """The edit box's password character as one 16-bit field (a GBK character's bytes)."""
    if isinstance(value, str):
        data = gbk(value)[:2]
        return (data + b"\0\0")[:2]
    return struct.pack("<H", number(value, what) & 0xFFFF)


def property_block(kind, unit, base_dir, what):
    """The PropertyBlock of a unit: "block_hex" as given, or built from its class fields."""
    # Test descriptions may give a block verbatim (for example one with a refused version).
    if "block_hex" in unit:
        return bytes.fromhex(unit["block_hex"])
    if kind not in CLASS_BLOCKS:
        return b""
    fields, maximum = CLASS_BLOCKS[kind]
    props = dict(unit.get("properties", {}))
    version = number(props.pop("version", maximum), what + ".version")
    known = {f[0] for f in fields}
    unknown = set(props) - known
    if unknown:
        raise DescriptionError("%s: unknown properties %s" % (what, ", ".join(sorted(unknown))))
    out = word(version)
    for name, field_kind, default, since in fields:
        # Fields newer than the stored version are absent, as older blocks have them.
        if version < since:
            continue
        value = props.get(name, default)
        where = "%s.%s" % (what, name)
        if field_kind == "w":
            out += word(value, where)
        elif field_kind == "h":
            out += password_field(value, where)
        elif field_kind == "t":
            out += counted_text(value)
        else:
            out += counted_block(block_bytes(value, base_dir, where))
    return out


def mouse_pointer_block(value, what):
    """The MousePointerBlock: a cursor number (one word), hex bytes, or null for none."""
    if value is None:
        return counted_block(b"")
    if isinstance(value, str) and not re.match(r"^-?(0x[0-9A-Fa-f]+|[0-9]+)$", value):
        return counted_block(bytes.fromhex(value))
    return counted_block(word(value, what))


def unit_item(unit, handlers, base_dir, what):
    """One UnitItem's bytes (without its length word)."""
    kind = unit.get("type", "window")
    type_id = CLASS_TYPES.get(kind) if isinstance(kind, str) and kind in CLASS_TYPES else None
    if type_id is None:
        type_id = number(kind, what + ".type")
    unit_id = number(unit["id"], what + ".id") & 0xFFFFFFFF
    # Fixed head: type id, event link, four reserved words; then name and comment texts.
    out = word(type_id) + word(unit.get("link", 0))
    out += b"".join(word(w) for w in unit.get("reserved", [0, 0, 0, 0]))
    out += zero_text(unit.get("name", "")) + zero_text(unit.get("comment", ""))
    # Menu items (bits 28-31 = 2, bits 24-27 = 6) have a short part of their own after S.
    is_menu = (unit_id >> 28) == 2 and (unit_id >> 24 & 0xF) == 6
    if is_menu:
        out += word(0) + word(unit.get("menu_word", 0)) + word(unit.get("menu_flags", 0))
        out += zero_text(unit.get("caption", ""))
        out += word(handler_word(unit.get("handler"), handlers, what + ".handler"))
        return out
    # S block: object slot, rectangle, cursor slot, parent id, container word list.
    rect = unit.get("rect", [0, 0, 0, 0])
    if len(rect) != 4:
        raise DescriptionError("%s.rect: four numbers wanted" % what)
    out += word(0) + b"".join(word(v, what + ".rect") for v in rect) + word(0)
    out += word(unit.get("parent", 0))
    children = unit.get("children", [])
    out += word(len(children)) + b"".join(word(c) for c in children)
    # MousePointerBlock, tag, reserved word, UnitFlags (default visible + tab stop), tab order.
    out += mouse_pointer_block(unit.get("mouse_pointer", 0), what + ".mouse_pointer")
    out += zero_text(unit.get("tag", ""))
    out += word(0) + word(unit.get("flags", 5)) + word(unit.get("tab_order", 0))
    # Bindings in the order given (a list of pairs allows the same event twice), then five
    # reserved words and the class's PropertyBlock, which runs to the end of the item.
    events = unit.get("events", {})
    pairs = list(events.items()) if isinstance(events, dict) else [tuple(p) for p in events]
    out += word(len(pairs))
    for event, handler in pairs:
        out += word(number(event, what + ".events"))
        out += word(handler_word(handler, handlers, "%s.events.%s" % (what, event)))
    out += word(0) * 5
    out += property_block(kind, unit, base_dir, what)
    return out


def unit_list(units, handlers, base_dir, what):
    """A UnitList: ids, offsets from the end of the offset table, then length-prefixed items."""
    items = [unit_item(u, handlers, base_dir, "%s.units[%d]" % (what, i)) for i, u in enumerate(units)]
    ids = b"".join(word(u["id"]) for u in units)
    offsets, position = [], 0
    for item in items:
        offsets.append(position)
        position += 4 + len(item)
    body = b"".join(word(len(item)) + item for item in items)
    return ids + b"".join(word(o) for o in offsets) + body


def build_template(description, handlers, base_dir="."):
    """The whole WindowTemplate of a description."""
    windows = description.get("windows", [])
    # Directory: ids, then one placeholder slot per window (the loader fills in addresses).
    directory = b"".join(word(w["id"]) for w in windows) + word(0) * len(windows)
    out = word(len(directory)) + directory
    for i, window in enumerate(windows):
        what = "windows[%d]" % i
        header = window.get("header", [0xFFFFFFFF, 0x19010007])
        texts = window.get("texts", ["", ""])
        units = window.get("units", [])
        body = unit_list(units, handlers, base_dir, what)
        # WindowRecord: two header words, two counted texts, unit count, counted unit list.
        out += word(header[0]) + word(header[1]) + counted_text(texts[0]) + counted_text(texts[1])
        out += word(len(units)) + counted_block(body)
    return out


def cpp_source(data, symbol, origin):
    """A C++ source that defines the template bytes and their size."""
    lines = [
        "// Window template generated from %s; regenerated by the build." % origin,
        "// NOLINTBEGIN",
        'extern "C" {',
        "alignas(4) extern const unsigned char %s[] = {" % symbol,
    ]
    for i in range(0, len(data), 16):
        lines.append("  " + ", ".join("0x%02X" % b for b in data[i:i + 16]) + ",")
    if not data:
        lines.append("  0")
    lines.append("};")
    lines.append("extern const unsigned %sSize = %du;" % (symbol, len(data)))
    lines.append("}")
    lines.append("// NOLINTEND")
    return "\n".join(lines) + "\n"


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("description", help="JSON description of the windows")
    parser.add_argument("handlers", help="handler list file of HANDLER(name, offset) lines")
    parser.add_argument("symbol", help="C symbol of the template bytes")
    parser.add_argument("-o", "--output", required=True, help="C++ source to write")
    parser.add_argument("--bin", help="also write the raw template bytes here")
    args = parser.parse_args(argv)
    if not re.match(r"^[A-Za-z_][A-Za-z0-9_]*$", args.symbol):
        parser.error("symbol is not a C identifier: %s" % args.symbol)
    try:
        with open(args.description, encoding="utf-8") as f:
            description = json.load(f)
        handlers = read_handlers(args.handlers)
        data = build_template(description, handlers, os.path.dirname(os.path.abspath(args.description)))
    except (OSError, ValueError, KeyError, DescriptionError) as e:
        print("template_gen: %s" % e, file=sys.stderr)
        return 1
    source = cpp_source(data, args.symbol, os.path.basename(args.description))
    with open(args.output, "w", encoding="utf-8") as f:
        f.write(source)
    if args.bin:
        with open(args.bin, "wb") as f:
            f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
