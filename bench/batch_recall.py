#!/usr/bin/python3
"""How much of what is there `quillmark batch --dry-run` finds, with clang as the judge.

    batch_recall.py QUILLMARK [--flags "-Iinclude -std=c++17"] [--misses] FILE...

Clang (libclang's Python binding, Debian's python3-clang-14) lists the declarations
of each file that batch comments by default: named class, struct, union and enum
definitions, functions and member functions (in and out of class bodies, friends
defined in a class, = default and = delete members included) and macros with
parameters, each without a comment of its own (-fparse-all-comments: any comment
directly above counts; a function's comment on any of its declarations). As batch
gives each thing one block, a function's prototype in a .c or .cpp file that its
definition follows in the file is left to the definition, and a macro defined more
than once (in #if branches) counts once, at its first #define, documented when any
of its #defines is. Batch's --dry-run lines are matched to them by name and
line. Prints per file and in total:
  recall    = undocumented declarations batch reports / undocumented declarations
  precision = batch reports that are a declaration clang sees / batch reports
              (reports in #if branches clang did not compile are not judged)
A file batch fails on counts as nothing found, and is listed.
"""
import argparse
import ctypes
import os
import re
import subprocess
import sys
import tempfile

import clang.cindex as ci

FUNCTIONS = {ci.CursorKind.FUNCTION_DECL, ci.CursorKind.CXX_METHOD, ci.CursorKind.CONSTRUCTOR,
             ci.CursorKind.DESTRUCTOR, ci.CursorKind.CONVERSION_FUNCTION,
             ci.CursorKind.FUNCTION_TEMPLATE}
TYPES = {ci.CursorKind.CLASS_DECL, ci.CursorKind.STRUCT_DECL, ci.CursorKind.UNION_DECL,
         ci.CursorKind.ENUM_DECL, ci.CursorKind.CLASS_TEMPLATE,
         ci.CursorKind.CLASS_TEMPLATE_PARTIAL_SPECIALIZATION}
SCOPES = {ci.CursorKind.NAMESPACE, ci.CursorKind.LINKAGE_SPEC, ci.CursorKind.UNEXPOSED_DECL}


def base_name(spelling):
    """"operator()" stays; "f<int>" and "A::f" become "f"."""
    if re.match(r"operator\s+(?!new\b|delete\b|co_await\b)[A-Za-z_]", spelling):
        return "operator <conversion>"  # clang spells the target type its own way
    if spelling.startswith("operator"):
        return re.sub(r"\s+", "", spelling)
    return re.sub(r"<.*$", "", spelling).split("::")[-1]


class _RangeList(ctypes.Structure):
    _fields_ = [("count", ctypes.c_uint), ("ranges", ctypes.POINTER(ci.SourceRange))]


def skipped_lines(tu, path):
    """The lines of the file in #if branches the preprocessor left out: clang
    cannot judge what batch reports there."""
    get = ci.conf.lib.clang_getSkippedRanges
    get.restype = ctypes.POINTER(_RangeList)
    get.argtypes = [ci.TranslationUnit, ci.File]
    ranges = get(tu, tu.get_file(path))
    lines = set()
    if ranges:
        for i in range(ranges.contents.count):
            r = ranges.contents.ranges[i]
            lines.update(range(r.start.line, r.end.line + 1))
        ci.conf.lib.clang_disposeSourceRangeList(ranges)
    return lines


def clang_declarations(path, flags):
    index = ci.Index.create()
    opts = ci.TranslationUnit.PARSE_DETAILED_PROCESSING_RECORD
    lang = ["-x", "c"] if path.endswith(".c") else ["-x", "c++", "-std=c++20"]
    tu = index.parse(path, args=lang + flags + ["-fparse-all-comments", "-ferror-limit=0"],
                     options=opts)
    real = os.path.realpath(path)
    source_file = os.path.splitext(path)[1] in (".c", ".cc", ".cpp", ".cxx", ".c++", ".C")
    found = {}

    def in_file(c):
        loc = c.location
        return loc.file is not None and os.path.realpath(loc.file.name) == real

    def add(c, kind, name):
        first = c.extent.start.line
        line = c.location.line
        if c.extent.start.file is None or os.path.realpath(c.extent.start.file.name) != real:
            first = line  # begins in a macro expansion
        key = (kind, name, line)
        if key in found:
            return
        found[key] = {"kind": kind, "name": name, "first": min(first, line), "line": line,
                      "documented": c.raw_comment is not None}
        if kind == "function" and source_file and not c.is_definition():
            definition = c.get_definition()
            if definition is not None and in_file(definition) and \
                    definition.location.line > line:
                found[key]["announces"] = True

    def walk(cursor):
        for c in cursor.get_children():
            if not in_file(c):
                if c.kind in SCOPES:
                    walk(c)
                continue
            if c.kind in FUNCTIONS:
                name = c.spelling
                if name.startswith("<deduction guide") or not name:
                    continue
                if c.location.file is not None and c.extent.start.offset == c.extent.end.offset:
                    continue
                add(c, "function", base_name(name))
            elif c.kind in TYPES:
                if c.is_definition() and c.spelling and "(unnamed" not in c.spelling and \
                        "(anonymous" not in c.spelling:
                    add(c, "type", base_name(c.spelling))
            elif c.kind == ci.CursorKind.TYPEDEF_DECL:
                # typedef struct { ... } NAME;
                for t in c.get_children():
                    if t.kind in TYPES and t.is_definition() and ("(unnamed" in t.spelling or
                                                                  "(anonymous" in t.spelling or
                                                                  not t.spelling):
                        add(c, "type", c.spelling)
            elif c.kind == ci.CursorKind.FRIEND_DECL:
                for f in c.get_children():
                    if f.kind in FUNCTIONS and f.is_definition():
                        add(f, "function", base_name(f.spelling))
            elif c.kind == ci.CursorKind.MACRO_DEFINITION:
                toks = list(c.get_tokens())
                if len(toks) >= 2 and toks[1].spelling == "(" and \
                        toks[1].extent.start.offset == toks[0].extent.end.offset:
                    add(c, "macro", c.spelling)
            if c.kind in SCOPES or c.kind in TYPES:
                walk(c)

    walk(tu.cursor)
    errors = [d for d in tu.diagnostics if d.severity >= ci.Diagnostic.Error]
    # A macro's comment: the line above its #define ends a comment.
    with open(path, encoding="utf-8", errors="replace") as f:
        lines = f.read().split("\n")
    def commented_above(number):
        above = lines[number - 2].strip() if number >= 2 else ""
        return above.startswith("//") or above.endswith("*/")

    decls = []
    macros = set()
    for d in found.values():
        if d.get("announces"):
            continue
        if d["kind"] == "macro":
            if d["name"] in macros:
                continue
            macros.add(d["name"])
            define = re.compile(r"^\s*#\s*define\s+" + re.escape(d["name"]) + r"\b")
            defines = [i + 1 for i, text in enumerate(lines) if define.match(text)] or [d["first"]]
            d["first"] = d["line"] = defines[0]
            d["documented"] = any(commented_above(n) for n in defines)
        decls.append(d)
    return decls, len(errors), skipped_lines(tu, path)


BATCH_LINE = re.compile(r"^(.*):(\d+): (class|struct|union|enum|function|member function|"
                        r"macro with parameters|macro|interface|method declaration|"
                        r"method implementation|\S+(?: \S+)*?) (.*)$")


def batch_reports(quillmark, path):
    with tempfile.TemporaryDirectory() as cfg:
        env = dict(os.environ, XDG_CONFIG_HOME=cfg)
        run = subprocess.run([quillmark, "batch", "--dry-run", path], capture_output=True,
                             text=True, env=env)
    reports = []
    for line in run.stdout.splitlines():
        m = BATCH_LINE.match(line)
        if not m:
            continue
        kind = m.group(3)
        kind = "type" if kind in ("class", "struct", "union", "enum", "interface") else \
            "macro" if kind.startswith("macro") else "function"
        name = m.group(4).strip()
        reports.append({"kind": kind, "name": base_name(name),
                        "raw": name, "line": int(m.group(2))})
    failed = run.returncode != 0 or re.search(r"[1-9]\d* failed", run.stderr) is not None
    return reports, failed, run.stderr.strip()


def matches(report, decl):
    if report["kind"] != decl["kind"]:
        return False
    if re.sub(r"\s+", "", report["name"]) != re.sub(r"\s+", "", decl["name"]):
        return False
    return decl["first"] - 1 <= report["line"] <= decl["line"] + 1


def measure(quillmark, path, flags, show):
    decls, errors, skipped = clang_declarations(path, flags)
    reports, failed, stderr = batch_reports(quillmark, path)
    wanted = [d for d in decls if not d["documented"]]
    used = set()
    hit = 0
    missed = []
    for d in wanted:
        k = next((i for i, r in enumerate(reports) if i not in used and matches(r, d)), None)
        if k is None:
            missed.append(d)
        else:
            used.add(k)
            hit += 1
    # A report is right when it is a declaration clang sees, documented or not.
    right = 0
    false = []
    judged = 0
    for i, r in enumerate(reports):
        if i not in used and r["line"] in skipped:
            continue  # in an #if branch clang did not compile
        judged += 1
        if i in used or any(matches(r, d) for d in decls):
            right += 1
        else:
            false.append(r)
    if show:
        for d in missed:
            print("  missed %s:%d: %s %s" % (path, d["line"], d["kind"], d["name"]))
        for r in false:
            print("  false  %s:%d: %s %s" % (path, r["line"], r["kind"], r["raw"]))
    return {"wanted": len(wanted), "hit": hit, "reports": judged, "right": right,
            "failed": failed, "clang_errors": errors, "stderr": stderr}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("quillmark")
    ap.add_argument("files", nargs="+")
    ap.add_argument("--flags", default="", help="compiler flags for clang, one string")
    ap.add_argument("--misses", action="store_true", help="list each miss and false report")
    args = ap.parse_args()
    flags = args.flags.split()
    total = {"wanted": 0, "hit": 0, "reports": 0, "right": 0}
    for path in args.files:
        r = measure(args.quillmark, path, flags, args.misses)
        for k in total:
            total[k] += r[k]
        note = " BATCH FAILED: " + r["stderr"].splitlines()[-1] if r["failed"] and r["stderr"] else \
            (" BATCH FAILED" if r["failed"] else "")
        if r["clang_errors"]:
            note += " (clang: %d errors)" % r["clang_errors"]
        print("%-60s undocumented %4d  found %4d  reports %4d  right %4d%s" %
              (path, r["wanted"], r["hit"], r["reports"], r["right"], note))
    recall = total["hit"] / total["wanted"] if total["wanted"] else 0
    precision = total["right"] / total["reports"] if total["reports"] else 0
    print("total: %d undocumented, recall %.1f%% (%d), precision %.1f%% (%d/%d)" %
          (total["wanted"], recall * 100, total["hit"], precision * 100, total["right"],
           total["reports"]))


if __name__ == "__main__":
    main()
