#!/usr/bin/python3
"""Collects real declarations from headers into the accuracy test's record format.

    /usr/bin/python3 collect_declarations.py [--seed N] [--count N] > records.txt

Clang (through libclang's Python binding, Debian's python3-clang-14) finds the
declarations of each header and proposes their fields; the selection is what a
user would select: the lines of a function's head (from its first line to the
line of its "{" or ";"), a type's head lines, a "#define" line. Members are
selected inside their class: the record carries the document above the selection
("before:") from the outermost enclosing class's head, with balanced runs of
lines in the middle left out when the class is long, and closing braces after
it ("after:"). The proposed fields are reviewed by hand before the records go
into the data file: clang prints types its own way, so the return types and
parameters are taken from the text as written, and those are the fields to check.
"""
import argparse
import os
import random
import re
import sys

import clang.cindex as ci

QT = "/usr/include/x86_64-linux-gnu/qt6"

# (header, extra arguments, share of members, label)
HEADERS = [
    (QT + "/QtCore/qstring.h", ["-I" + QT, "-fPIC", "-std=c++17"], "Qt 6 <QtCore/qstring.h>"),
    (QT + "/QtCore/qobject.h", ["-I" + QT, "-fPIC", "-std=c++17"], "Qt 6 <QtCore/qobject.h>"),
    (QT + "/QtCore/qdatetime.h", ["-I" + QT, "-fPIC", "-std=c++17"], "Qt 6 <QtCore/qdatetime.h>"),
    (QT + "/QtCore/qurl.h", ["-I" + QT, "-fPIC", "-std=c++17"], "Qt 6 <QtCore/qurl.h>"),
    (QT + "/QtCore/qbytearray.h", ["-I" + QT, "-fPIC", "-std=c++17"], "Qt 6 <QtCore/qbytearray.h>"),
    ("/usr/include/nlohmann/json.hpp", ["-std=c++17"], "nlohmann json 3.11 <nlohmann/json.hpp>"),
    ("/usr/include/benchmark/benchmark.h", ["-std=c++17"], "Google benchmark <benchmark/benchmark.h>"),
    ("/usr/include/cursesf.h", ["-std=c++17"], "ncurses C++ <cursesf.h>"),
    ("/usr/include/cursesw.h", ["-std=c++17"], "ncurses C++ <cursesw.h>"),
    ("/usr/include/gmpxx.h", ["-std=c++17"], "GMP <gmpxx.h>"),
    ("/usr/include/tree_sitter/api.h", ["-x", "c", "-std=c11"], "tree-sitter <tree_sitter/api.h>"),
    ("/usr/include/zlib.h", ["-x", "c", "-std=c11"], "zlib <zlib.h>"),
    ("/usr/include/expat.h", ["-x", "c", "-std=c11"], "expat <expat.h>"),
    ("/usr/include/libpng16/png.h", ["-x", "c", "-std=c11"], "libpng 1.6 <png.h>"),
    ("/usr/include/libxml2/libxml/tree.h", ["-x", "c", "-std=c11", "-I/usr/include/libxml2"],
     "libxml2 <libxml/tree.h>"),
    ("/usr/include/c++/12/bits/stl_map.h", ["-std=c++20", "-include", "map"], "libstdc++ <bits/stl_map.h>"),
    ("/usr/include/c++/12/bits/unique_ptr.h", ["-std=c++20", "-include", "memory"],
     "libstdc++ <bits/unique_ptr.h>"),
    ("/usr/include/c++/12/optional", ["-std=c++20"], "libstdc++ <optional>"),
    ("/usr/include/c++/12/bits/std_function.h", ["-std=c++20", "-include", "functional"],
     "libstdc++ <bits/std_function.h>"),
    ("/usr/include/c++/12/bits/stl_deque.h", ["-std=c++20", "-include", "deque"],
     "libstdc++ <bits/stl_deque.h>"),
]

FUNCTION_KINDS = {
    ci.CursorKind.FUNCTION_DECL, ci.CursorKind.CXX_METHOD, ci.CursorKind.CONSTRUCTOR,
    ci.CursorKind.DESTRUCTOR, ci.CursorKind.CONVERSION_FUNCTION, ci.CursorKind.FUNCTION_TEMPLATE,
}
RECORD_KINDS = {
    ci.CursorKind.CLASS_DECL: 0, ci.CursorKind.STRUCT_DECL: 1, ci.CursorKind.UNION_DECL: 2,
    ci.CursorKind.ENUM_DECL: 3, ci.CursorKind.CLASS_TEMPLATE: None,
}
CLASS_KINDS = {ci.CursorKind.CLASS_DECL, ci.CursorKind.STRUCT_DECL, ci.CursorKind.UNION_DECL,
               ci.CursorKind.CLASS_TEMPLATE}
SCOPE_KINDS = {ci.CursorKind.NAMESPACE, ci.CursorKind.LINKAGE_SPEC, ci.CursorKind.UNEXPOSED_DECL}
SPECIFIERS = {"static", "virtual", "inline", "explicit", "constexpr", "consteval", "friend", "extern",
              "__inline", "__inline__", "__extension__", "typename"}


def collapse(text):
    return " ".join(text.split())


def blank_comments(text):
    """Comments become blanks of the same length (line breaks kept)."""
    out = list(text)
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if c in "\"'":
            q = c
            i += 1
            while i < n and text[i] != q and text[i] != "\n":
                i += 2 if text[i] == "\\" else 1
            i += 1
        elif text.startswith("//", i):
            while i < n and text[i] != "\n":
                out[i] = " "
                i += 1
        elif text.startswith("/*", i):
            e = text.find("*/", i + 2)
            e = n if e < 0 else e + 2
            for k in range(i, e):
                if out[k] != "\n":
                    out[k] = " "
            i = e
        else:
            i += 1
    return "".join(out)


class Header:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.raw = f.read().decode("utf-8", "replace")
        self.code = blank_comments(self.raw)
        self.line_starts = [0]
        for m in re.finditer("\n", self.raw):
            self.line_starts.append(m.end())

    def line_of(self, offset):
        lo, hi = 0, len(self.line_starts) - 1
        while lo < hi:
            mid = (lo + hi + 1) // 2
            if self.line_starts[mid] <= offset:
                lo = mid
            else:
                hi = mid - 1
        return lo

    def lines(self, first, last):
        end = self.line_starts[last + 1] - 1 if last + 1 < len(self.line_starts) else len(self.raw)
        return self.raw[self.line_starts[first]:end].split("\n")


def top_level_split(text, sep):
    parts, depth, cur = [], 0, ""
    for c in text:
        if c in "(<[{":
            depth += 1
        elif c in ")>]}":
            depth -= 1
        if c == sep and depth == 0:
            parts.append(cur)
            cur = ""
        else:
            cur += c
    parts.append(cur)
    return parts


def strip_prefix(prefix):
    """The return type from the text in front of a function's name."""
    prefix = re.sub(r"\[\[.*?\]\]", " ", prefix)
    prefix = re.sub(r"__attribute__\s*\(\(.*?\)\)", " ", prefix)
    prefix = re.sub(r"alignas\s*\(.*?\)", " ", prefix)
    words = []
    for tok in re.findall(r"[A-Za-z_][A-Za-z_0-9]*(?:\s*\([^()]*\))?|::|[^\sA-Za-z_]", prefix):
        words.append(tok)
    kept = []
    for w in words:
        base = re.match(r"[A-Za-z_][A-Za-z_0-9]*", w)
        inner = re.fullmatch(r"[A-Z_0-9]*(API|PUBLIC|EXPORT|EXTERN)[A-Z_0-9]*\s*\(([^()]*)\)", w)
        if inner:
            kept.append(inner.group(2))  # an export macro around the return type
            continue
        if base and base.group(0) in SPECIFIERS:
            continue
        # Macros in front (export, deprecation, constexpr and inline stand-ins) say
        # nothing of the type: upper case words with a prefix or with arguments.
        if base and re.fullmatch(r"(Q_|QT_|_GLIBCXX|JSON_HEDLEY_|NLOHMANN_|BENCHMARK_|XML|ZEXTERN|ZEXPORT|PNG_|XMLCALL|XMLPARSEAPI|XMLIMPORT|OF\b|NCURSES_|ZEXPORTVA|GMP|__GMP)[A-Z0-9_]*", base.group(0)) \
                and base.group(0) not in ("XML_Bool", "XML_Status", "XML_Parser", "XML_Char", "XML_Size",
                                          "XML_Index", "XML_Error", "XML_LChar"):
            continue
        kept.append(w)
    text = " ".join(kept)
    text = re.sub(r"\s*::\s*", "::", text)
    text = re.sub(r"\s*<\s*", "<", text)
    text = re.sub(r"\s*>", ">", text)
    text = re.sub(r"\s*,\s*", ", ", text)
    text = re.sub(r"\s+([*&])", r"\1", text)
    text = re.sub(r"([*&])\s*(?=[*&])", r"\1", text)
    return collapse(text)


def parameters(cursor, header):
    params = []
    for p in cursor.get_arguments() if cursor.kind != ci.CursorKind.FUNCTION_TEMPLATE else \
            [c for c in cursor.get_children() if c.kind == ci.CursorKind.PARM_DECL]:
        b, e = p.extent.start.offset, p.extent.end.offset
        if p.extent.start.file is None or p.extent.start.file.name != cursor.location.file.name or e <= b:
            return None
        text = header.code[b:e]
        pieces = top_level_split(text, "=")
        if len(pieces) > 1 and not any(op in text for op in ("==", "!=", "<=", ">=")):
            params.append((collapse(pieces[0]), collapse("=".join(pieces[1:]))))
        else:
            params.append((collapse(text), ""))
    if cursor.type.kind == ci.TypeKind.FUNCTIONPROTO and cursor.type.is_function_variadic():
        params.append(("...", ""))
    return params


def written_name(cursor, header):
    """The name as written from its location: "operator ==" keeps its blank."""
    spelling = cursor.spelling
    if cursor.kind == ci.CursorKind.FUNCTION_TEMPLATE:
        spelling = re.sub(r"<.*$", "", spelling) if not spelling.startswith("operator") else spelling
    at = cursor.location.offset
    out, i = "", at
    for ch in spelling:
        while i < len(header.code) and header.code[i].isspace() and not ch.isspace():
            out += " "
            i += 1
        if ch.isspace():
            continue
        if i >= len(header.code) or header.code[i] != ch:
            return None
        out += ch
        i += 1
    return collapse(out), i


def enclosing_classes(cursor):
    names, outer = [], None
    p = cursor.semantic_parent
    while p is not None and p.kind in CLASS_KINDS | SCOPE_KINDS | {ci.CursorKind.TRANSLATION_UNIT}:
        if p.kind in CLASS_KINDS:
            names.append(p.spelling)
            outer = p
        p = p.semantic_parent
        if p is not None and p.kind == ci.CursorKind.TRANSLATION_UNIT:
            break
    return "::".join(reversed(names)), outer


def balanced(text):
    """Braces and conditionals balanced, ending at the end of a declaration."""
    code = [l.strip() for l in text.split("\n") if l.strip()]
    if code and not (code[-1].endswith((";", "}", ":")) or code[-1].startswith("#")):
        return False
    ifs = sum(1 for l in code if re.match(r"#\s*if", l))
    if ifs != sum(1 for l in code if re.match(r"#\s*endif", l)):
        return False
    depth = 0
    for c in text:
        if c == "{":
            depth += 1
        elif c == "}":
            depth -= 1
            if depth < 0:
                return False
    return depth == 0


def context_before(header, outer, sel_line):
    """The lines from the outermost class's head to the selection; balanced runs
    in the middle of a long class are left out."""
    start = header.line_of(outer.extent.start.offset)
    lines = header.lines(start, sel_line - 1) if sel_line > start else []
    if len(lines) <= 80:
        return lines
    head_end = start
    while head_end < sel_line and "{" not in header.code[header.line_starts[head_end]:header.line_starts[head_end + 1]]:
        head_end += 1
    keep_head = head_end - start + 1
    for tail in range(40, len(lines)):
        middle = "\n".join(header.code[header.line_starts[start + keep_head]:header.line_starts[sel_line - tail]].split("\n"))
        cut = sel_line - tail
        # Not inside a comment: the tail's first line reads the same without comments.
        whole = header.raw[header.line_starts[cut]:header.line_starts[cut + 1]]
        code = header.code[header.line_starts[cut]:header.line_starts[cut + 1]]
        if keep_head + tail < len(lines) and balanced(middle) and whole == code:
            return lines[:keep_head] + lines[len(lines) - tail:]
    return lines


def function_record(cursor, header, label):
    if cursor.kind == ci.CursorKind.FUNCTION_TEMPLATE:
        decl_start = None
        # The head starts after the template parameter list.
        toks = list(cursor.get_tokens())
        depth, seen = 0, False
        for t in toks:
            if t.spelling == "template":
                seen = True
                continue
            if seen and t.spelling == "<":
                depth += 1
            elif seen and t.spelling == ">":
                depth -= 1
                if depth == 0:
                    seen = False
                    continue
            elif seen and t.spelling == ">>":
                depth -= 2
                if depth <= 0:
                    seen = False
                    continue
            if not seen and depth == 0 and t.spelling != "template":
                decl_start = t.extent.start.offset
                break
        if decl_start is None:
            return None
    else:
        decl_start = cursor.extent.start.offset
    named = written_name(cursor, header)
    if named is None:
        return None
    name, name_end = named
    scope, outer = enclosing_classes(cursor)
    kind = 5 if scope else 4
    if cursor.semantic_parent is not None and cursor.lexical_parent is not None and \
            cursor.semantic_parent != cursor.lexical_parent:
        return None  # out-of-line definitions are not this set's subject
    # The head ends at the body's "{" or the ";".
    body = [c for c in cursor.get_children() if c.kind == ci.CursorKind.COMPOUND_STMT]
    end = body[0].extent.start.offset if body else cursor.extent.end.offset
    first, last = header.line_of(decl_start), header.line_of(end)
    if last - first > 7:
        return None
    params = parameters(cursor, header)
    if params is None:
        return None
    prefix = header.code[decl_start:cursor.location.offset]
    if "(" in prefix and re.search(r"\b[A-Z_]+\s*\(", prefix) is None and "__attribute__" not in prefix \
            and "alignas" not in prefix and "[[" not in prefix:
        return None  # a function returning a function pointer: reviewed by hand elsewhere
    if cursor.kind in (ci.CursorKind.CONSTRUCTOR, ci.CursorKind.DESTRUCTOR):
        ret = ""
    elif cursor.kind == ci.CursorKind.CONVERSION_FUNCTION:
        ret = collapse(name[len("operator"):])
    else:
        after = header.code[name_end:end]
        m = re.search(r"\)\s*(?:const\s*)?(?:&&?\s*)?(?:noexcept(?:\s*\([^)]*\))?\s*)?->\s*([^{;=]*)", after)
        ret = strip_prefix(prefix)
        if re.fullmatch(r"auto", ret) and m:
            ret = collapse(m.group(1))
    rec = {"source": label, "text": header.lines(first, last), "kind": kind, "name": name,
           "scope": scope, "return": ret, "params": params, "before": [], "after": []}
    if scope:
        rec["before"] = context_before(header, outer, first)
        depth = sum(1 for c in blank_comments("\n".join(rec["before"])) if c == "{") - \
            sum(1 for c in blank_comments("\n".join(rec["before"])) if c == "}")
        rec["after"] = ["};"] * max(depth, 1)
    return rec


def record_record(cursor, header, label):
    kind = RECORD_KINDS.get(cursor.kind)
    if cursor.kind == ci.CursorKind.CLASS_TEMPLATE:
        toks = [t.spelling for t in cursor.get_tokens()]
        kind = next((RECORD_KINDS[{"class": ci.CursorKind.CLASS_DECL, "struct": ci.CursorKind.STRUCT_DECL,
                                   "union": ci.CursorKind.UNION_DECL}[t]] for t in toks
                     if t in ("class", "struct", "union")), None)
    if kind is None or not cursor.is_definition() or not cursor.spelling or "(unnamed" in cursor.spelling \
            or "(anonymous" in cursor.spelling:
        return None
    code = header.code
    b = cursor.extent.start.offset
    brace = code.find("{", cursor.location.offset)
    semi = code.find(";", cursor.location.offset)
    if brace < 0 or (0 <= semi < brace):
        return None
    # The head starts at the class keyword (a template head above it stays out).
    m = None
    for mm in re.finditer(r"\b(class|struct|union|enum)\b", code[b:cursor.location.offset]):
        m = mm
        break
    if m is None:
        return None
    start = b + m.start()
    first, last = header.line_of(start), header.line_of(brace)
    if last - first > 4:
        return None
    head = code[cursor.location.offset:brace]
    name = cursor.spelling
    if not head.startswith(name):
        return None
    rest = head[len(name):].strip()
    if rest.startswith("<"):
        return None  # specialisations
    rest = re.sub(r"^final\b", "", rest).strip()
    bases, underlying = [], ""
    if rest.startswith(":"):
        if kind == 3:
            underlying = collapse(rest[1:])
        else:
            for piece in top_level_split(rest[1:], ","):
                piece = re.sub(r"\b(public|private|protected|virtual)\b", " ", piece)
                bases.append(collapse(piece))
    elif rest:
        return None
    return {"source": label, "text": header.lines(first, last), "kind": kind, "name": name, "scope": "",
            "return": "", "params": [], "bases": bases, "underlying": underlying, "before": [], "after": []}


def macro_records(header, label):
    out = []
    for m in re.finditer(r"^[ \t]*#[ \t]*define[ \t]+([A-Za-z_]\w*)\(([^)]*)\)", header.code, re.M):
        line = header.line_of(m.start())
        if header.raw.split("\n")[line].rstrip().endswith("\\"):
            continue
        params = [collapse(p) for p in m.group(2).split(",") if collapse(p)]
        out.append({"source": label, "text": header.lines(line, line), "kind": 7, "name": m.group(1),
                    "scope": "", "return": "", "params": [], "macro": params, "before": [], "after": []})
    return out


def walk(cursor, path, header, label, out):
    for c in cursor.get_children():
        if c.location.file is None or c.location.file.name != path:
            if c.kind in SCOPE_KINDS:
                walk(c, path, header, label, out)
            continue
        if c.kind in FUNCTION_KINDS:
            r = function_record(c, header, label)
            if r:
                out.append(r)
        elif c.kind in RECORD_KINDS:
            r = record_record(c, header, label)
            if r:
                out.append(r)
        if c.kind in SCOPE_KINDS or c.kind in CLASS_KINDS:
            walk(c, path, header, label, out)


def emit(r, file):
    print("== " + r["source"], file=file)
    for key in ("before",):
        for line in r[key]:
            print("before: " + line, file=file)
    for line in r["text"]:
        print("text: " + line, file=file)
    for line in r["after"]:
        print("after: " + line, file=file)
    print("kind: %d" % r["kind"], file=file)
    print("name: " + r["name"], file=file)
    if r.get("scope"):
        print("scope: " + r["scope"], file=file)
    if r.get("return"):
        print("return: " + r["return"], file=file)
    if r.get("underlying"):
        print("underlying: " + r["underlying"], file=file)
    for b in r.get("bases", []):
        print("base: " + b, file=file)
    for p, d in r.get("params", []):
        print("param: " + p, file=file)
        if d:
            print("default: " + d, file=file)
    for p in r.get("macro", []):
        print("macro-param: " + p, file=file)
    print(file=file)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--seed", type=int, default=17)
    ap.add_argument("--per-header", type=int, default=12)
    ap.add_argument("--exclude", help="a data file whose selections are left out")
    args = ap.parse_args()
    old = ""
    if args.exclude:
        with open(args.exclude, encoding="utf-8") as f:
            old = f.read()
    rng = random.Random(args.seed)
    index = ci.Index.create()
    for path, extra, label in HEADERS:
        if not os.path.exists(path):
            print("# skipped (not installed): " + path, file=sys.stderr)
            continue
        tu = index.parse("/tmp/collect_%d.cpp" % os.getpid(), args=extra + ["-include", path],
                         unsaved_files=[("/tmp/collect_%d.cpp" % os.getpid(), "\n")])
        header = Header(path)
        found = []
        walk(tu.cursor, path, header, label, found)
        found += macro_records(header, label)
        found = [r for r in found if ("text: " + r["text"][0]) not in old]
        seen, unique = set(), []
        for r in found:
            key = tuple(r["text"])
            if key not in seen:
                seen.add(key)
                unique.append(r)
        members = [r for r in unique if r.get("scope")]
        others = [r for r in unique if not r.get("scope")]
        pick = rng.sample(members, min(len(members), args.per_header // 2))
        pick += rng.sample(others, min(len(others), args.per_header - len(pick)))
        pick.sort(key=lambda r: header.raw.find("\n".join(r["text"])))
        print("# %s: %d members, %d others found" % (label, len(members), len(others)), file=sys.stderr)
        for r in pick:
            emit(r, sys.stdout)


if __name__ == "__main__":
    main()
