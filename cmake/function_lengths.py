#!/usr/bin/env python3
"""Lists the functions longer than LIMIT lines under the given folders and fails if there are any.

python3 function_lengths.py LIMIT FOLDER... (from the source tree's root)

It reads clang-formatted sources: a function starts at a declaration in column 0 and ends at
the next lone closing brace in column 0. Types, namespaces and initialised data are not
functions; lambdas count towards the function they stand in."""
import re
import sys
from pathlib import Path

NOT_FUNCTION = re.compile(r'^(namespace|struct|class|union|enum|extern|template\s*<[^>]*>\s*(struct|class))\b')


def functions(path):
    lines = path.read_text(encoding='utf-8', errors='replace').splitlines()
    start = None
    opened = False
    for i, line in enumerate(lines):
        if not line or line.startswith(('#', '//')):
            continue
        if line.startswith((' ', '\t')):
            # A declaration's continuation ends it before any body opened.
            if start is not None and not opened:
                if line.rstrip().endswith(';'):
                    start = None
                elif line.rstrip().endswith('{'):
                    opened = True
            continue
        if line.startswith('}'):
            if line.strip() == '}' and start is not None:
                head = lines[start]
                if not NOT_FUNCTION.match(head) and '=' not in head.split('(')[0]:
                    name = head.split('(')[0].split()[-1] if '(' in head else head
                    yield name, start + 1, i - start + 1
            start = None
            continue
        if start is None:
            start, opened = i, False
        if line.rstrip().endswith('{'):
            opened = True
        if line.rstrip().endswith((';', '};')):
            start = None


def main():
    limit = int(sys.argv[1])
    roots = [Path(p) for p in sys.argv[2:]]
    long_ones = []
    for root in roots:
        for path in sorted(root.rglob('*.cpp')) + sorted(root.rglob('*.h')):
            for name, line, length in functions(path):
                if length > limit:
                    long_ones.append((length, f'{path}:{line}: {name} is {length} lines'))
    for _, text in sorted(long_ones, reverse=True):
        print(text)
    return 1 if long_ones else 0


if __name__ == '__main__':
    sys.exit(main())
