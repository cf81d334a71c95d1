#!/usr/bin/env python3
"""Usage: doc_links_test.py SOURCE_DIR

Every relative link in README.md and docs/*.md leads somewhere: the file or
folder exists, and a #anchor names a heading of the Markdown file it points
into, as GitHub makes anchors (lower case, blanks to hyphens, punctuation
dropped, letters of any alphabet kept, -1, -2 ... for repeated headings).
"""
import pathlib
import re
import sys
import unicodedata

LINK = re.compile(r"!?\[(?:[^\]\\]|\\.)*\]\(\s*<?([^)\s>]*)>?(?:\s+\"[^\"]*\")?\s*\)")
CODE_SPAN = re.compile(r"(`+).*?\1")


def lines_outside_code(path):
    """Yields (number, line) for the lines of path outside fenced blocks."""
    fence = None
    for number, line in enumerate(path.read_text(encoding="utf-8").splitlines(), 1):
        stripped = line.lstrip()
        marker = stripped[:3]
        if fence is None and marker in ("```", "~~~"):
            fence = marker
        elif fence is not None and stripped.startswith(fence):
            fence = None
        elif fence is None:
            yield number, line


def anchor(heading):
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", heading).lower()
    kept = (c for c in text if c in " -_" or unicodedata.category(c)[0] in "LMN")
    return "".join(kept).replace(" ", "-")


def anchors(path, cache={}):
    if path not in cache:
        seen = {}
        for _, line in lines_outside_code(path):
            match = re.match(r" {0,3}#{1,6}\s+(.*?)(?:\s+#+)?\s*$", line)
            if match:
                base = anchor(match.group(1))
                count = seen.get(base, 0)
                seen[base] = count + 1
                seen.setdefault(f"{base}-{count}" if count else base, 1)
        cache[path] = set(seen)
    return cache[path]


def main(source):
    source = pathlib.Path(source).resolve()
    documents = [source / "README.md", *sorted((source / "docs").glob("*.md"))]
    dead = checked = 0
    for document in documents:
        for number, line in lines_outside_code(document):
            for target in LINK.findall(CODE_SPAN.sub("", line)):
                if re.match(r"[a-z][a-z0-9+.-]*:", target, re.I):
                    continue  # a URL with a scheme is not the tree's to check
                checked += 1
                file_part, _, fragment = target.partition("#")
                place = (document.parent / file_part).resolve() if file_part else document
                if not place.exists() or source not in (place, *place.parents):
                    problem = "no such file in the tree"
                elif fragment and place.suffix != ".md":
                    problem = "an anchor into a file that is not Markdown"
                elif fragment and fragment not in anchors(place):
                    problem = f"no heading of {place.relative_to(source)} makes that anchor"
                else:
                    continue
                dead += 1
                print(f"FAIL {document.relative_to(source)}:{number}: ({target}): {problem}")
    print(f"{checked} relative links checked in {len(documents)} documents, {dead} dead")
    if checked == 0:
        print("FAIL no link found: the link reader is broken")
        return 1
    return 1 if dead else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
