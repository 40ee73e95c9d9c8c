#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz harnesses: well-formed and edge-case Button files, legacy
data files, drops, bookmark files, and what servers send for a site's icon (the program's own icons,
pages with icon links, data URIs, hostile icons). Run from anywhere; the files go to
tests/fuzz/corpus/<harness>/.

Layouts (little-endian):
  Button file, 64,996 bytes: width i32, 3 reserved i32, count i32, Favourite URL [512],
    100 records of 644 (name [64], URL [512], legacy value i32, own font [60], has-own-font u8,
    new-window u8, 2 reserved), global font [60], same-font u8, wide u8, 2 reserved.
  Font, 60 bytes: height, width, escapement, orientation, weight (i32 each), 8 bytes, face [32].
  Legacy data file, 213,656 bytes: width i32, count i32, Favourite URL [2048],
    100 records of 2,116 (name [64], URL [2048], legacy value i32).
Bytes after a whole Button file or legacy file steer the harness (see the harness sources).
"""
import base64
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
TABLE_SIZE = 64996
RECORDS_AT = 532
RECORD_SIZE = 644
GLOBAL_FONT_AT = 64932
LEGACY_SIZE = 213656
LEGACY_RECORDS_AT = 2056
LEGACY_RECORD_SIZE = 2116


def put(buf, offset, data):
    buf[offset:offset + len(data)] = data


def text(value, size):
    data = value.encode("latin-1")[:size - 1]
    return data + b"\0" * (size - len(data))


def font(height=-13, weight=700, face="System", italic=0):
    head = struct.pack("<5i", height, 0, 0, 0, weight)
    flags = bytes([italic, 0, 0, 0, 0, 0, 0, 0])
    return head + flags + text(face, 32)


def record_at(index):
    return RECORDS_AT + index * RECORD_SIZE


def set_record(buf, index, name, url, legacy=0, own=None, new_window=0):
    at = record_at(index)
    put(buf, at, text(name, 64))
    put(buf, at + 64, text(url, 512))
    put(buf, at + 576, struct.pack("<i", legacy))
    put(buf, at + 580, own if own is not None else font())
    buf[at + 640] = 1 if own is not None else 0
    buf[at + 641] = new_window


def default_table():
    buf = bytearray(TABLE_SIZE)
    put(buf, 0, struct.pack("<i", 140))
    put(buf, 16, struct.pack("<i", 1))
    put(buf, 20, text("http://www.example.com/", 512))
    set_record(buf, 0, "Brisklet", "http://www.brisklet.example/")
    put(buf, GLOBAL_FONT_AT, font())
    return buf


def full_table():
    buf = default_table()
    put(buf, 16, struct.pack("<i", 100))
    names = ["alpha", "Alpha", "ALPHA", "beta", "", "Zeta", "zeta", "mid", "Mid", "a"]
    for i in range(100):
        name = names[i % len(names)] + (" %d" % (i // len(names)) if i % 3 else "")
        own = font(height=-11 - i % 5, weight=400, face="Face%d" % i) if i % 4 == 1 else None
        set_record(buf, i, name, "http://host%d.example/%s" % (i, "p" * (i * 5)), legacy=i * 7, own=own,
                   new_window=i % 2)
    buf[64993] = 1  # wide
    return buf


def with_count(buf, count):
    buf = bytearray(buf)
    put(buf, 16, struct.pack("<i", count))
    return buf


def unterminated_table():
    buf = full_table()
    put(buf, 20, b"F" * 512)
    for i in range(100):
        at = record_at(i)
        put(buf, at, bytes([0x41 + i % 26]) * 64)
        put(buf, at + 64, b"U" * 512)
        put(buf, at + 580 + 28, b"f" * 32)
    put(buf, GLOBAL_FONT_AT + 28, b"g" * 32)
    return buf


def text_field(value, limit=0xFFFF):
    data = value if isinstance(value, bytes) else value.encode("latin-1")
    return struct.pack("<H", len(data)) + data


def button_control(delete_index=0, fault_kinds=0, fault_bits=0, script=b"", screen=(1280, 1024, 20, 18)):
    """Control bytes read by the Button file harness, in its order."""
    out = struct.pack("<4i", *screen)                                # screen metrics
    out += text_field("http://dropped.example/" + "x" * 600)         # Add URL (cut to 511)
    out += text_field("New Button Name That Is Quite Long Indeed, Longer Than Sixty-One")
    out += bytes([1]) + struct.pack("<ii", -16, 400) + bytes([1])     # font chosen, new window 0
    out += struct.pack("<i", delete_index)                           # delete
    out += struct.pack("<i", 3)                                      # edit the selected record
    out += text_field("http://favourite.example/" + "f" * 80)        # Favourite URL (long tip)
    out += text_field("C:\\Buttons\\saved") + struct.pack("<I", 2048)  # file name rule
    out += struct.pack("<i", 1) + bytes([2])                         # launch fails (<= 32)
    out += struct.pack("<IQ", fault_kinds, fault_bits)               # save under faults
    out += struct.pack("<IQ", 0x1, 0x1) + bytes([0])                 # reload: first read fails
    return out + script


def legacy_file(count, records=3, favourite="http://legacy.example/", width=120):
    buf = bytearray(LEGACY_SIZE)
    put(buf, 0, struct.pack("<ii", width, count))
    put(buf, 8, text(favourite, 2048))
    for i in range(records):
        at = LEGACY_RECORDS_AT + i * LEGACY_RECORD_SIZE
        put(buf, at, text("Legacy %d" % i, 64))
        put(buf, at + 64, text("http://old%d.example/" % i + "o" * (i * 30), 2048))
        put(buf, at + 2112, struct.pack("<i", 1000 + i))
    return buf


def legacy_unterminated():
    buf = legacy_file(100, records=0)
    put(buf, 8, b"F" * 2048)
    for i in range(100):
        at = LEGACY_RECORDS_AT + i * LEGACY_RECORD_SIZE
        put(buf, at, b"N" * 64)
        put(buf, at + 64, b"U" * 2048)
        put(buf, at + 2112, struct.pack("<i", -i))
    return buf


def legacy_control(setting, fault_kinds=0, fault_bits=0, old_button_file=b""):
    out = bytes([setting])
    if setting & 1:
        out += text_field(old_button_file)
    return out + struct.pack("<IQ", fault_kinds, fault_bits)


def drop(flags, file_count=1, file_name="", target="", url="", head="", name="Dropped", available=0, body=b""):
    return (bytes([flags]) + struct.pack("<I", file_count) + text_field(file_name) + text_field(target) +
            text_field(url) + text_field(head) + text_field(name) + struct.pack("<I", available) + body)


def same_entries_ico():
    """128 directory entries on one 1x1 bitmap, zeros to 4,096 bytes: cleaned once per entry, it
    grew to 263,430 bytes (a 256 KiB one to a gigabyte)."""
    data = bytearray(4096)
    put(data, 0, bytes.fromhex("000001008000"))
    entry = bytes.fromhex("01010000010001" "00fa070000" "06080000")
    for i in range(128):
        put(data, 6 + 16 * i, entry)
    put(data, 0x806, bytes.fromhex("28000000010000000200000001000100"))
    return data


def same_entries_at_cap():
    """The same at the 256 KiB response cap: 16,000 entries, each the whole tail after the
    directory, on one bitmap; it grew to 98 MB (a gigabyte with larger images)."""
    count, size = 16000, 256 * 1024
    data = bytearray(size)
    put(data, 0, struct.pack("<HHH", 0, 1, count))
    at = 6 + 16 * count
    entry = bytes([1, 1, 0, 0]) + struct.pack("<HHII", 1, 1, size - at, at)
    for i in range(count):
        put(data, 6 + 16 * i, entry)
    put(data, at, bytes.fromhex("28000000010000000200000001000100"))
    return data


DOCTYPE = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
HEAD = DOCTYPE + '<META HTTP-EQUIV="Content-Type" CONTENT="text/html; charset=UTF-8">\n<TITLE>Bookmarks</TITLE>\n'


def bookmark_files():
    """Small bookmark files in the shapes browsers export, and broken ones (name, text)."""
    icon = "data:image/png;base64," + "iVBORw0KGgoAAAANSUhEUgAAABAAAAAQ" * 2
    toolbar = (HEAD + "<H1>Bookmarks</H1>\n<DL><p>\n"
               '    <DT><H3 ADD_DATE="1700000000" LAST_MODIFIED="1700000001" PERSONAL_TOOLBAR_FOLDER="true">Bookmarks bar</H3>\n'
               "    <DL><p>\n"
               '        <DT><A HREF="https://news.example/" ADD_DATE="1700000002" ICON="%s">News</A>\n'
               "        <DT><H3>Tools</H3>\n        <DL><p>\n"
               '            <DT><A HREF="https://tools.example/?a=1&amp;b=2">Tools &amp; more</A>\n'
               "        </DL><p>\n    </DL><p>\n"
               '    <DT><A HREF="https://top.example/">Top</A>\n</DL><p>\n' % icon)
    menu = (HEAD + "<H1>Bookmarks Menu</H1>\n<DL><p>\n"
            '    <DT><A HREF="place:sort=8&maxResults=10">Recent tags</A>\n    <HR>\n'
            '    <DT><H3 UNFILED_BOOKMARKS_FOLDER="true">Other bookmarks</H3>\n    <DD>Kept for later\n    <DL><p>\n'
            '        <DT><A HREF="http://later.example/" LAST_CHARSET="UTF-8" SHORTCUTURL="l">Later</A>\n'
            "        <DD>A description\n    </DL><p>\n"
            '    <DT><A HREF="javascript:alert(1)">Bookmarklet</A>\n    <DT><A HREF="about:blank">Blank</A>\n</DL>\n')
    loose = ("\ufeff<!doctype netscape-bookmark-file-1>\n<dl><p>\n<dt><h3>Work</h3>\n<dl>\n"
             "<dt><a href=http://wiki.example/>Wiki\n<dt><a href='http://mail.example/'>Mail</a>\n</dl>\n"
             '<dt><a HREF="http://after.example/">After\n')
    text = (DOCTYPE + '<DL><DT><A HREF="http://caf\u00e9.example/">Caf\u00e9 &#233; &#xE9; &lt;b&gt; &eacute;</A>\n'
            '<DT><A HREF="http://x.example/\u20ac">&euro; &#x110000; &#0; &#xD800; &#99999999999; &nbsp;x</A>\n'
            '<DT><A HREF="http://e.example/">   </A>\n')
    deep = DOCTYPE + "<DL>" + "<DT><H3>F</H3><DL>" * 300 + '<DT><A HREF="http://deep.example/">Deep</A>' + "</DL>" * 300
    broken = (DOCTYPE + '<DL><DT><A HREF="http://ok.example/">Ok</A>\n<!-- a comment that never ends\n'
              '<DT><A HREF="http://never.example/">Never</A>')
    unterminated = DOCTYPE + '<DL><DT><A HREF="http://ok.example/">Ok</A>\n<DT><A HREF="http://cut.example/>Cut</A>\n'
    return [("toolbar.html", toolbar), ("menu.html", menu), ("loose.html", loose), ("text.html", text),
            ("deep_300.html", deep), ("comment_never_ends.html", broken), ("unterminated.html", unterminated),
            ("empty.html", ""), ("not_bookmarks.html", "<html><body><a href='http://x.example/'>x</a></body></html>")]


def merge_text(value):
    data = value.encode("latin-1") if isinstance(value, str) else value
    return struct.pack("<H", len(data)) + data


def merge_table(buttons, width=140, favourite="http://fav.example/", wide=0):
    """A table of the merge harness: width, count, wide flag, Favourite URL, then per button its
    name, address, flags and font height. A button is (name, url) or (name, url, flags)."""
    out = struct.pack("<iBB", width, len(buttons) & 0xFF, wide) + merge_text(favourite)
    for button in buttons:
        flags = button[2] if len(button) > 2 else 0
        out += merge_text(button[0]) + merge_text(button[1]) + bytes([flags, 0xF3])
    return out


def merge_input(base, ours, theirs, current="links.bklt", candidate="links-LAPTOP.bklt"):
    return merge_table(*base) + merge_table(*ours) + merge_table(*theirs) + merge_text(current) + merge_text(candidate)


def write(harness, name, data):
    folder = os.path.join(HERE, "corpus", harness)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(bytes(data))


def main():
    default = default_table()
    full = full_table()
    b = "button_file"
    write(b, "default.bklt", default)
    write(b, "full_100.bklt", full)
    write(b, "empty.bklt", b"")
    write(b, "one_byte.bklt", b"\x8c")
    write(b, "count_cut_short.bklt", default[:18])
    write(b, "header_only.bklt", default[:RECORDS_AT])
    write(b, "half_of_full.bklt", full[:TABLE_SIZE // 2])
    write(b, "one_short.bklt", full[:TABLE_SIZE - 1])
    for count, name in [(-5, "minus_5"), (0, "0"), (1, "1"), (101, "101"), (0x7FFFFFFF, "7fffffff"),
                        (-0x80000000, "80000000")]:
        write(b, "count_%s.bklt" % name, with_count(full, count))
    write(b, "unterminated_fields.bklt", unterminated_table())
    hostile = with_count(full, 100)
    put(hostile, 0, struct.pack("<i", 0x7FFFFFFF))
    write(b, "width_max_wide.bklt", hostile)
    put(hostile, 0, struct.pack("<i", -0x80000000))
    hostile[64993] = 0
    write(b, "width_min.bklt", hostile)
    flags = bytearray(full)
    flags[64992] = 2  # same-font byte 2 does not force the global font
    for i in range(100):
        flags[record_at(i) + 640] = 2
        flags[record_at(i) + 641] = 2
    write(b, "flags_2.bklt", flags)
    write(b, "longer_by_one.bklt", default + b"\0")
    write(b, "control_edits.bklt", full + button_control(delete_index=99, script=bytes(range(12)) * 3))
    # Every write step fails in turn: open, short write, flush, close, replace.
    write(b, "control_save_faults.bklt",
          with_count(default, 3) + button_control(fault_kinds=0x7B, fault_bits=0x5555, script=b"\x07" + struct.pack("<IQ", 0x08, 1)))
    # Found by fuzzing: a bar placed at the lowest int made the Add room test overflow.
    write(b, "regress_add_room_at_int_min.bklt", default + button_control(screen=(0, -0x80000000, 0, 0)))
    write(b, "control_reload_locked.bklt",
          full + button_control(script=b"\x08" + struct.pack("<IQ", 0x1, 0xFFFF) + b"\x01" + b"\x08" + struct.pack("<IQ", 0, 0) + b"\x00"))

    # Names in any script beside names an older Brisklet wrote in Windows-1252, and the bad forms:
    # an overlong slash, a lone continuation byte, an encoded surrogate, a sequence cut by the
    # field's end, and a 63-byte name whose last character would need 4.
    scripts = with_count(default_table(), 8)
    names = ["\u041d\u043e\u0432\u043e\u0441\u0442\u0438".encode(), "\u65b0\u95fb\u7f51".encode(), b"Caf\xe9",
             b"\xc0\xaf", b"a\x80b", b"\xed\xa0\x80", b"x" * 62 + b"\xf0", b"y" * 60 + "\U0001f600".encode()[:3]]
    for index, name in enumerate(names):
        set_record(scripts, index, "", "http://\u043f\u0440\u0438\u043c\u0435\u0440.\u0438\u0441\u043f\u044b\u0442\u0430\u043d\u0438\u0435/".encode().decode("latin-1"))
        put(scripts, record_at(index), name + b"\0")
    write(b, "names_in_any_script.bklt", scripts + button_control(script=bytes(range(12)) * 2))

    legacy = "legacy_file"
    write(legacy, "count_3.dat", legacy_file(3))
    write(legacy, "count_100.dat", legacy_file(100, records=100))
    write(legacy, "count_150.dat", legacy_file(150, records=100))
    write(legacy, "count_minus_1.dat", legacy_file(-1))
    write(legacy, "count_0.dat", legacy_file(0, records=0, favourite=""))
    write(legacy, "short_100_bytes.dat", legacy_file(3)[:100])
    write(legacy, "empty.dat", b"")
    write(legacy, "unterminated.dat", legacy_unterminated())
    write(legacy, "locked.dat", legacy_file(3) + legacy_control(16))
    write(legacy, "over_old_button_file.dat",
          legacy_file(5, records=5) + legacy_control(1 | 2 | 4 | 8, old_button_file=bytes(full_table()[:4000])))
    write(legacy, "cannot_delete.dat", legacy_file(3) + legacy_control(4, fault_kinds=0x100, fault_bits=0x3))
    write(legacy, "save_fails.dat", legacy_file(3) + legacy_control(0, fault_kinds=0x40, fault_bits=0xFFFFFFFF))

    for name, html in bookmark_files():
        write("bookmark_file", name, html.encode("utf-8"))
    # Invalid UTF-8 and a NUL in titles and addresses.
    # Addresses a bookmark file someone sent may not bring, and an icon that grew when cleaned.
    write("bookmark_file", "programs_and_shares.html",
          (DOCTYPE + '<DL><DT><A HREF="\\\\host\\x.hta">Bank statement</A><DT><A HREF="calc">Calc</A>'
           '<DT><A HREF="smb://host/share">Share</A><DT><A HREF="file://host/share/x">Host file</A>'
           '<DT><A HREF="file:///C:/Users/x/notes.txt">Notes</A><DT><A HREF="C:\\tools\\x.exe">Tool</A>'
           '<DT><A HREF="https://ok.example/" ICON="data:image/x-icon;base64,%s">Ok</A></DL>'
           % base64.b64encode(same_entries_ico()).decode()).encode())
    write("bookmark_file", "invalid_utf8.html",
          DOCTYPE.encode() + b'<DL><DT><A HREF="http://b.example/\xff">\xc0\xaf\xed\xa0\x80 t\x00x\x01</A>')

    d = "dropped_text"
    write(d, "text_link.drop", drop(16, body=b"http://example.org/page?q=1\0"))
    write(d, "text_no_nul.drop", drop(16 | 64, available=300, body=b"h" * 300))
    write(d, "text_2000.drop", drop(16, body=b"http://long.example/" + b"l" * 2000))
    write(d, "url_file_shortcut.drop", drop(1, file_name="C:\\Users\\x\\Desktop\\Link.URL",
                                           url="http://shortcut.example/"))
    write(d, "url_file_resolved.drop", drop(1 | 8, file_name="D:\\Links\\site.url", target="http://target.example/"))
    write(d, "url_file_long_url.drop", drop(1, file_name="site.url", url="http://x/" + "u" * 400))
    write(d, "folder.drop", drop(1 | 4, file_name="C:\\Folder.url"))
    write(d, "two_files.drop", drop(1 | 32, file_count=2, file_name="a.url"))
    write(d, "plain_file.drop", drop(1, file_name="C:\\notes.txt"))
    write(d, "command_line.drop", drop(0, file_name="C:\\My Buttons\\work.BkLt", body=b"x"))
    write(d, "bad_extension.drop", drop(0, file_name="C:\\work.bklt.bak"))
    write(d, "notes_bklt_txt.drop", drop(0, file_name="notes.bklt.txt"))
    marks = (DOCTYPE + '<DL><DT><A HREF="http://ok.example/">Ok</A><DT><A HREF="\\\\203.0.113.9\\s\\x.hta">Bank</A>'
             '<DT><A HREF="calc">Calc</A><DT><A HREF="file:///C:/notes.txt">Notes</A></DL>')
    write(d, "bookmark_file.drop", drop(1, file_name="C:\\Users\\x\\bookmarks.html", head=marks))
    write(d, "three_bookmark_files.drop", drop(1 | 32, file_count=3, file_name="D:\\b.htm", head=marks))
    write(d, "shortcuts_to_a_share.drop", drop(1 | 32, file_count=2, file_name="C:\\Links\\a.url",
                                               url="\\\\203.0.113.9\\share\\report.pdf"))

    m = "button_merge"
    a, b, c = ("A", "http://a.example/"), ("B", "http://b.example/"), ("C", "http://c.example/")
    write(m, "added_on_each_side.bin", merge_input(([a, b],), ([("N", "http://n/"), a, b],), ([a, b, c],)))
    write(m, "deleted_and_edited.bin", merge_input(([a, b, c],), ([a, c],), ([a, ("B", "http://b2/"), c],)))
    write(m, "both_edited.bin", merge_input(([a, b],), ([a, ("B", "http://x/", 1)],), ([a, ("B", "http://y/", 4)],),
                                             "links.bklt", "links (LAPTOP's conflicted copy 2026-12-09).bklt"))
    write(m, "settings_both.bin", merge_input(([a], 140, "http://f/"), ([a], 200, "http://o/", 1), ([a], 90, "http://t/"),
                                               "links.bklt", "links.sync-conflict-20261209-101500-ABCDEFG.bklt"))
    many = [("O%d" % i, "http://o%d/" % i) for i in range(99)]
    other = [("T%d" % i, "http://t%d/" % i) for i in range(99)]
    write(m, "hundred_each.bin", merge_input(([a],), ([a] + many,), ([a] + other,), "links.bklt", "links (1).bklt"))
    write(m, "count_past_100.bin", merge_input(([a] * 120,), ([],), ([b] * 101,)))
    write(m, "long_fields.bin", merge_input(([("n" * 70, "u" * 530)],), ([("n" * 70, "v" * 530)],), ([],),
                                             "x" * 250 + ".bklt", "x" * 250 + " 2.bklt"))
    write(m, "whole_images.bin", full + default + with_count(full, 3))

    s = "site_icon"
    res = os.path.join(HERE, "..", "..", "res")
    with open(os.path.join(res, "web.ico"), "rb") as f:
        web = f.read()
    with open(os.path.join(res, "brisklet.ico"), "rb") as f:
        program = f.read()
    write(s, "web.ico", web)
    write(s, "brisklet.ico", program)
    png_at = web.find(b"\x89PNG")
    png_end = web.find(b"IEND", png_at) + 8
    write(s, "globe.png", web[png_at:png_end])
    write(s, "truncated.ico", web[:len(web) // 2])
    write(s, "entries_65535.ico", b"\0\0\1\0\xff\xff" + b"\x10" * 200)
    huge = bytearray(web[png_at:png_end])
    huge[16:24] = struct.pack(">II", 100000, 100000)
    write(s, "png_100000.png", huge)
    write(s, "page.html", b"<!doctype html>\n<html><head><!-- <link rel=icon href=old.ico> -->\n"
          b"<link rel=\"apple-touch-icon\" href=\"/touch.png\">\n<LINK REL='shortcut icon' HREF='../s.ico?a=1&amp;b=2'>\n"
          b"<link rel=icon type=image/svg+xml href=i.svg><link rel=icon href=//cdn.example.net/i.ico>\n</head></html>")
    write(s, "data_uri.txt", b"data:image/png;base64," + base64.b64encode(web[png_at:png_end]))
    write(s, "page_data_link.html", b"http://example.org:8080/x/y.html\n<link rel=icon href=\"data:image/x-icon;base64,"
          + base64.b64encode(program[:300]) + b"\">")
    # Found by fuzzing: a host with a colon in it read back as another address, and a data URI
    # whose scheme was not in lower case was taken for an address.
    write(s, "regress_host_colon.html", b"<link rel=icon href=//cme.org:80<hhettp://et/i.ico>")
    write(s, "regress_data_case.html", b"<link rel=icon href=\"dAta:image/png;base64,QUJD\">")
    # Found by review: 128 entries on the same bytes were each copied into the cleaned icon.
    write(s, "regress_128_same_entries.ico", same_entries_ico())
    write(s, "same_entries_at_cap.ico", same_entries_at_cap())
    # Buttons' addresses, one a line: paths local, on another computer and on devices.
    write(s, "button_addresses.txt", b"\\\\203.0.113.9\\share\\report.pdf\n\\\\?\\UNC\\host\\x\n"
          b"\\\\.\\pipe\\spoolss\nC:\\Windows\\notepad.exe\n  d:/music/a.MP3\nnotes.txt\nhttps://example.org/\n"
          b"<link rel=icon href=http://example.org/plain.ico>")


if __name__ == "__main__":
    main()
