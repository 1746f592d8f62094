#!/usr/bin/env python3
"""Copies C++ sources for clang, which knows no execution character set but
UTF-8: every non-ASCII character inside a narrow string or character literal
becomes the octal escapes of its GBK bytes, so the program's texts compile to
the same bytes as with gcc's -fexec-charset=GBK.  Comments, wide, UTF-8 and
raw literals are copied unchanged.  Each copy starts with a #line directive,
so diagnostics and stack traces name the original file.

Usage: gbk-literals.py SOURCE_ROOT OUTPUT_ROOT RELATIVE_PATH...
"""
import os
import sys

WIDE_PREFIXES = ("L", "u", "U", "u8")


def literal_end(text, begin, quote, path):
    """Index of the closing quote of the literal whose opening quote is at begin."""
    index = begin + 1
    while index < len(text):
        char = text[index]
        if char == "\\":
            index += 2
            continue
        if char == quote:
            return index
        if char == "\n":
            break
        index += 1
    sys.exit(f"{path}: unterminated literal at offset {begin}")


def transcode(text, path):
    out = []
    index = 0
    while index < len(text):
        char = text[index]
        if text.startswith("//", index):
            end = text.find("\n", index)
            end = len(text) if end < 0 else end
            out.append(text[index:end])
            index = end
            continue
        if text.startswith("/*", index):
            end = text.find("*/", index + 2)
            end = len(text) if end < 0 else end + 2
            out.append(text[index:end])
            index = end
            continue
        if char not in "\"'":
            out.append(char)
            index += 1
            continue
        start = index
        while start > 0 and (text[start - 1].isalnum() or text[start - 1] == "_"):
            start -= 1
        prefix = text[start:index]
        if char == "'" and prefix and prefix not in WIDE_PREFIXES:
            # A digit separator (1'000), not a character literal.
            out.append(char)
            index += 1
            continue
        if char == '"' and prefix.endswith("R"):
            opening = text.index("(", index)
            marker = ")" + text[index + 1:opening] + '"'
            end = text.index(marker, opening) + len(marker)
            out.append(text[index:end])
            index = end
            continue
        end = literal_end(text, index, char, path)
        body = text[index + 1:end]
        if prefix not in WIDE_PREFIXES:
            body = "".join(
                "".join(f"\\{byte:03o}" for byte in c.encode("gbk")) if ord(c) > 0x7F else c for c in body)
        out.append(char + body + char)
        index = end + 1
    return "".join(out)


def main():
    source_root, output_root, *paths = sys.argv[1:]
    for relative in paths:
        source = os.path.join(source_root, relative)
        with open(source, encoding="utf-8") as file:
            text = file.read()
        result = f'#line 1 "{os.path.abspath(source)}"\n' + transcode(text, source)
        target = os.path.join(output_root, relative)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        # Unchanged copies keep their time stamp, so that only what changed
        # is compiled again.
        if os.path.exists(target):
            with open(target, encoding="utf-8") as file:
                if file.read() == result:
                    continue
        with open(target, "w", encoding="utf-8") as file:
            file.write(result)


if __name__ == "__main__":
    main()
