#!/usr/bin/env python3
"""How the files of the simulated platform depend on each other, and whether
they ever do so in a circle.

Read from the #include lines and the definitions: a source file depends on
the source file that defines a function it uses, when a header it includes
(directly or through other headers) declares that function; a header depends
on the headers it includes. The graph is checked twice, file by file and
folder by folder; a cycle in either is printed and fails the run.

  include_graph.py [SIM_DIR]          the folder graph, then the verdict
  include_graph.py --files [SIM_DIR]  the file graph as well
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#include "platform/sim/([^"]+)"', re.M)
# A declaration at the outermost level of a header: "Type Name(" or "Type* Name(".
DECLARED = re.compile(r'^(?!\s)(?!return\b)[\w:<>,*& ]*?[\s*&]([A-Za-z_]\w*)\s*\(', re.M)
# A definition at the outermost level of a source file: the same, with its body.
DEFINED = re.compile(r'^(?!\s)(?!return\b)(?:[\w:<>,*& ]*?[\s*&])?(?:[\w:]*::)?([A-Za-z_]\w*)\s*\([^;{]*?\)\s*(?:const\s*)?\{',
                     re.M)


def strip_comments(text):
    return re.sub(r'//[^\n]*', '', text)


def read(root):
    files = {}
    for folder, _, names in os.walk(root):
        for name in names:
            if name.endswith(('.cpp', '.h')):
                path = os.path.join(folder, name)
                files[os.path.relpath(path, root)] = strip_comments(open(path, encoding='utf-8').read())
    return files


def graph(files):
    definers, defined = {}, {}
    for path, text in files.items():
        if path.endswith('.cpp'):
            defined[path] = set(DEFINED.findall(text))
            for name in defined[path]:
                definers.setdefault(name, set()).add(path)
    includes = {path: {i for i in INCLUDE.findall(text) if i in files and i != path} for path, text in files.items()}
    # A type counts as declared too: its constructor is defined under its name.
    declared = {path: set(DECLARED.findall(text)) | set(re.findall(r'^(?:struct|class)\s+(\w+)', text, re.M))
                for path, text in files.items() if path.endswith('.h')}

    def reachable_headers(path):
        seen, todo = set(), list(includes[path])
        while todo:
            header = todo.pop()
            if header not in seen:
                seen.add(header)
                todo.extend(includes[header])
        return seen

    edges = {path: set() for path in files}
    for path, text in files.items():
        if path.endswith('.h'):
            edges[path] = set(includes[path])
            continue
        words = set(re.findall(r'[A-Za-z_]\w*', re.sub(r'#include[^\n]*', '', text)))
        for header in reachable_headers(path):
            for name in declared[header] & words:
                if name in defined[path]:
                    continue  # its own function of that name
                for source in definers.get(name, ()):
                    if source != path:
                        edges[path].add(source)
    return edges


def cycles(edges):
    """The strongly connected components of more than one node (Tarjan)."""
    index, low, stack, on_stack, found = {}, {}, [], set(), []
    counter = [0]

    def visit(node):
        index[node] = low[node] = counter[0]
        counter[0] += 1
        stack.append(node)
        on_stack.add(node)
        for nxt in sorted(edges.get(node, ())):
            if nxt not in index:
                visit(nxt)
                low[node] = min(low[node], low[nxt])
            elif nxt in on_stack:
                low[node] = min(low[node], index[nxt])
        if low[node] == index[node]:
            component = []
            while True:
                top = stack.pop()
                on_stack.discard(top)
                component.append(top)
                if top == node:
                    break
            if len(component) > 1:
                found.append(sorted(component))

    sys.setrecursionlimit(10000)
    for node in sorted(edges):
        if node not in index:
            visit(node)
    return found


def folder_of(path):
    return path.split('/')[0] if '/' in path else '.'


def main(argv):
    show_files = '--files' in argv
    args = [a for a in argv if not a.startswith('--')]
    root = args[0] if args else os.path.join(os.path.dirname(os.path.abspath(__file__)), '../platform/sim')
    files = read(root)
    if not files:
        print(f'no source file under {root}')
        return 2
    edges = graph(files)
    folders = {}
    for path, targets in edges.items():
        for target in targets:
            if folder_of(target) != folder_of(path):
                folders.setdefault(folder_of(path), set()).add(folder_of(target))
    print('folders (each -> what it uses):')
    for folder in sorted({folder_of(p) for p in files}):
        print('  %-10s -> %s' % (folder, ', '.join(sorted(folders.get(folder, ()))) or '(nothing)'))
    if show_files:
        print('files:')
        for path in sorted(edges):
            print('  %s -> %s' % (path, ', '.join(sorted(edges[path])) or '(nothing)'))
    bad = [('folders', c) for c in cycles(folders)] + [('files', c) for c in cycles(edges)]
    for level, component in bad:
        print('CYCLE among %s: %s' % (level, ', '.join(component)))
    print('%d files, %d dependencies, %s' % (len(files), sum(len(t) for t in edges.values()),
                                            'no cycle' if not bad else '%d cycles' % len(bad)))
    return 1 if bad else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
