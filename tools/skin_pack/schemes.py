"""The 33 colour schemes that the program carries, and how a full scheme is derived from a few
base colours.

Each entry names a base background and an accent colour; every other colour of the scheme
(button faces, hot and pressed faces, borders, edit box colours) is derived from those two so
that the schemes stay consistent with each other. Light schemes draw dark text on pale faces,
dark schemes the reverse.
"""

# Colour roles in the order of the colour table (the index is the role number the library reads).
ROLES = [
    "window_back", "window_text",
    "button_face_top", "button_face_bottom", "button_border", "button_text",
    "button_hot_top", "button_hot_bottom", "button_pressed_top", "button_pressed_bottom",
    "button_disabled_face", "button_disabled_text",
    "accent",
    "edit_back", "edit_text", "edit_border", "edit_disabled_back", "edit_disabled_text",
    "caption_active_top", "caption_active_bottom", "caption_active_text",
    "caption_inactive_back", "caption_inactive_text", "frame_border",
]

# (name, dark?, window background, accent); numbers run from 1 in list order.
BASES = [
    ("Porcelain", False, 0xF3F4F6, 0x3B82F6),
    ("Sandstone", False, 0xF2EBDD, 0xB5651D),
    ("Sage", False, 0xE8EFE6, 0x4F7942),
    ("Lavender", False, 0xEEEAF6, 0x7357A8),
    ("Rose Quartz", False, 0xF7EBEE, 0xC2185B),
    ("Sky", False, 0xE6F1FA, 0x1E88E5),
    ("Mint", False, 0xE4F5EF, 0x00897B),
    ("Linen", False, 0xF5F1EA, 0x8D6E63),
    ("Steel", False, 0xE3E7EC, 0x455A64),
    ("Apricot", False, 0xFBEBDD, 0xE0701C),
    ("Lemon", False, 0xFAF6DC, 0xA08400),
    ("Glacier", False, 0xEEF6F8, 0x0097A7),
    ("Heather", False, 0xECE6EC, 0x8E4585),
    ("Moss", False, 0xE9ECDD, 0x6B7F2A),
    ("Coral", False, 0xFBE9E5, 0xE4572E),
    ("Cloud", False, 0xEDEFF3, 0x5C6BC0),
    ("Graphite", True, 0x2E3236, 0x4FA3E0),
    ("Midnight", True, 0x1E2633, 0x5B8DEF),
    ("Forest", True, 0x1F2C24, 0x5DBB63),
    ("Plum", True, 0x2D2233, 0xB07CD8),
    ("Espresso", True, 0x2F2620, 0xD99A5B),
    ("Deep Ocean", True, 0x16303A, 0x2EC4D6),
    ("Slate", True, 0x2B313B, 0x8FA6C8),
    ("Claret", True, 0x331E24, 0xE05A74),
    ("Olive Night", True, 0x2C2E22, 0xB8C255),
    ("Amber Coal", True, 0x262626, 0xF0A830),
    ("Indigo", True, 0x24264A, 0x7C83FD),
    ("Pine", True, 0x14302A, 0x3DD6A3),
    ("Dusk", True, 0x2A2838, 0xF07167),
    ("Storm", True, 0x263238, 0x80CBC4),
    ("Ember", True, 0x2B1D1A, 0xFF7043),
    ("Polar Night", True, 0x1B2430, 0x88C0D0),
    ("Teal Night", True, 0x1F2A30, 0x26B5A8),
]

# Rounded corners of the buttons, in pixels, for light and dark schemes.
CORNER_RADIUS = {False: 4, True: 3}


def _split(rgb):
    return (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF


def _join(r, g, b):
    clamp = lambda v: max(0, min(255, int(round(v))))
    return clamp(r) << 16 | clamp(g) << 8 | clamp(b)


def mix(a, b, t):
    """The colour a fraction t of the way from a to b."""
    ra, ga, ba = _split(a)
    rb, gb, bb = _split(b)
    return _join(ra + (rb - ra) * t, ga + (gb - ga) * t, ba + (bb - ba) * t)


def lighten(c, t):
    return mix(c, 0xFFFFFF, t)


def darken(c, t):
    return mix(c, 0x000000, t)


def _luminance(c):
    def channel(v):
        v /= 255.0
        return v / 12.92 if v <= 0.03928 else ((v + 0.055) / 1.055) ** 2.4
    r, g, b = _split(c)
    return 0.2126 * channel(r) + 0.7152 * channel(g) + 0.0722 * channel(b)


def contrast(a, b):
    la, lb = _luminance(a), _luminance(b)
    return (max(la, lb) + 0.05) / (min(la, lb) + 0.05)


def _readable_on(colours, light=0xFFFFFF, dark=0x1C1E21):
    """Light or dark text, whichever reads better on every colour given."""
    return light if min(contrast(light, c) for c in colours) >= min(contrast(dark, c) for c in colours) else dark


def caption(dark, back, accent):
    """Caption and frame colours: an accent-tinted title bar, a quieter one when inactive."""
    if dark:
        top, bottom = mix(lighten(back, 0.10), accent, 0.30), mix(back, accent, 0.16)
        inactive = lighten(back, 0.07)
        inactive_text = mix(back, 0xD0D0D0, 0.78)
        border = mix(darken(back, 0.40), accent, 0.20)
    else:
        top, bottom = darken(accent, 0.06), darken(accent, 0.24)
        inactive = mix(back, 0xC8C8C8, 0.45)
        inactive_text = mix(back, 0x505050, 0.85)
        border = darken(accent, 0.30)
    return {
        "caption_active_top": top,
        "caption_active_bottom": bottom,
        "caption_active_text": _readable_on([top, bottom]),
        "caption_inactive_back": inactive,
        "caption_inactive_text": inactive_text,
        "frame_border": border,
    }


def derive(dark, back, accent):
    """The full colour table (as 0xRRGGBB values keyed by role) of one scheme."""
    if dark:
        face = lighten(back, 0.10)
        text = mix(0xF2F4F5, accent, 0.08)
        scheme = {
            "window_back": back,
            "window_text": text,
            "button_face_top": lighten(face, 0.10),
            "button_face_bottom": face,
            "button_border": mix(lighten(back, 0.24), accent, 0.18),
            "button_text": text,
            "button_hot_top": mix(lighten(face, 0.14), accent, 0.22),
            "button_hot_bottom": mix(face, accent, 0.22),
            "button_pressed_top": mix(darken(face, 0.25), accent, 0.30),
            "button_pressed_bottom": mix(darken(face, 0.10), accent, 0.30),
            "button_disabled_face": mix(back, 0x808080, 0.12),
            "button_disabled_text": mix(back, 0xA0A0A0, 0.55),
            "accent": accent,
            "edit_back": darken(back, 0.30),
            "edit_text": text,
            "edit_border": mix(lighten(back, 0.22), accent, 0.10),
            "edit_disabled_back": mix(back, 0x808080, 0.08),
            "edit_disabled_text": mix(back, 0xA0A0A0, 0.55),
        }
    else:
        face = lighten(back, 0.55)
        text = mix(0x1C1E21, accent, 0.10)
        scheme = {
            "window_back": back,
            "window_text": text,
            "button_face_top": lighten(face, 0.60),
            "button_face_bottom": darken(back, 0.04),
            "button_border": mix(darken(back, 0.38), accent, 0.25),
            "button_text": text,
            "button_hot_top": mix(lighten(face, 0.6), accent, 0.12),
            "button_hot_bottom": mix(back, accent, 0.16),
            "button_pressed_top": mix(darken(back, 0.12), accent, 0.22),
            "button_pressed_bottom": mix(darken(back, 0.04), accent, 0.16),
            "button_disabled_face": mix(back, 0xF0F0F0, 0.5),
            "button_disabled_text": mix(back, 0x808080, 0.65),
            "accent": accent,
            "edit_back": lighten(back, 0.80),
            "edit_text": text,
            "edit_border": mix(darken(back, 0.30), accent, 0.15),
            "edit_disabled_back": mix(back, 0xFFFFFF, 0.3),
            "edit_disabled_text": mix(back, 0x808080, 0.65),
        }
    scheme.update(caption(dark, back, accent))
    return scheme


def all_schemes():
    """List of (number, name, dark, colours by role, corner radius), numbers from 1."""
    out = []
    for i, (name, dark, back, accent) in enumerate(BASES, start=1):
        out.append((i, name, dark, derive(dark, back, accent), CORNER_RADIUS[dark]))
    return out
