#!/usr/bin/python3
"""Dead state in the project's C++, over every translation unit of a compile database.

    tools/check-unused.py BUILD_DIR [EXTRA_CLANG_FLAG...]

Parses each source of BUILD_DIR/compile_commands.json once with clang (libclang), with
the extra flags (the unused-entity warnings), and reports, one line each:
  - clang's unused-entity warnings (-Wunused...) in those files;
  - member functions declared and defined nowhere;
and, for the members of internal classes (private members anywhere; every member of a
class declared in a .cpp file or in a stand-in's own src/ headers):
  - non-virtual member functions that nothing calls or names;
  - data members that nothing reads (only assigned, or never named; a member of class
    type may be there for its constructor and destructor, and a pointer assigned a new
    object owns it: neither counts as unread);
  - data members named in one function only, which assigns them (with =, not from
    themselves) before any read: their value never outlives the call, so they are locals
    kept as members (members of aggregates are left out: a brace list may set them).
Public members of the framework's, the sync library's and the production's headers carry
their published interface, and the stand-in layer's public headers
(libraries/platform/*/include) the original interfaces: they are only checked for a
definition. Plain aggregates (public fields only, no functions or bases) often mirror a
file or vertex layout read as bytes: their fields are not checked. Only files of the
repository count (not build/, not system headers). Exits 1 on any finding.
"""
import json
import multiprocessing
import os
import shlex
import sys

import clang.cindex as ci

ci.Config.set_library_file("libclang-14.so.1")

ROOT = os.path.realpath(os.path.join(os.path.dirname(__file__), ".."))
BUILD = os.path.join(ROOT, "build") + os.sep
K = ci.CursorKind
ASSIGN_OPS = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>="}
FUNCTIONS = {K.CXX_METHOD, K.FUNCTION_DECL, K.FUNCTION_TEMPLATE, K.CONSTRUCTOR, K.DESTRUCTOR,
             K.CONVERSION_FUNCTION}


def ours(path):
    return path is not None and path.startswith(ROOT + os.sep) and not path.startswith(BUILD)


def internal(member):
    """Whether a member belongs to no published interface (see the module comment)."""
    if member.access_specifier == ci.AccessSpecifier.PRIVATE:
        return True
    record = member.semantic_parent
    path = os.path.relpath(os.path.realpath(record.location.file.name), ROOT)
    parts = path.split(os.sep)
    return path.endswith(".cpp") or (parts[:2] == ["libraries", "platform"] and "src" in parts[2:-1])


def virtual(method):
    """Whether a method is virtual (an override in a class template is seen in its tokens)."""
    canonical = method.canonical
    if method.is_virtual_method() or canonical.is_virtual_method():
        return True
    for token in canonical.get_tokens():
        if token.spelling in ("{", ";", ":"):
            return False
        if token.spelling in ("virtual", "override", "final"):
            return True
    return False


def aggregate(record):
    for child in record.get_children():
        if child.kind in (K.CONSTRUCTOR, K.CXX_BASE_SPECIFIER):
            return False
        if child.kind == K.FIELD_DECL and child.access_specifier != ci.AccessSpecifier.PUBLIC:
            return False
    return True


def plain(record):
    for child in record.get_children():
        if child.kind in (K.CXX_METHOD, K.CONSTRUCTOR, K.DESTRUCTOR, K.CXX_BASE_SPECIFIER,
                          K.FUNCTION_TEMPLATE, K.CONVERSION_FUNCTION):
            return False
        if child.kind == K.FIELD_DECL and child.access_specifier != ci.AccessSpecifier.PUBLIC:
            return False
    return True


def through_this(node):
    children = list(node.get_children())
    return not children or children[0].kind == K.CXX_THIS_EXPR


def where(cursor):
    loc = cursor.location
    return "%s:%d" % (os.path.relpath(loc.file.name, ROOT), loc.line)


def name_of(cursor):
    parent = cursor.semantic_parent
    if parent is not None and parent.kind in (K.CLASS_DECL, K.STRUCT_DECL, K.CLASS_TEMPLATE):
        return "%s::%s" % (parent.spelling, cursor.spelling)
    return cursor.spelling


def assigned(node, parent):
    """The operator when node is the left side of an assignment in parent, else None."""
    if parent is None or parent.kind not in (K.BINARY_OPERATOR, K.COMPOUND_ASSIGNMENT_OPERATOR):
        return None
    children = list(parent.get_children())
    if not children or children[0].hash != node.hash:
        return None
    end = node.extent.end.offset
    for token in parent.get_tokens():
        if token.extent.start.offset >= end:
            return token.spelling if token.spelling in ASSIGN_OPS else None
    return None


def new_object(parent):
    """Whether the right side of the assignment parent is a new-expression."""
    rhs = list(parent.get_children())[-1]
    while rhs.kind == K.UNEXPOSED_EXPR and len(list(rhs.get_children())) == 1:
        rhs = next(rhs.get_children())
    return rhs.kind == K.CXX_NEW_EXPR


def scan(entry):
    args = shlex.split(entry["command"]) if "command" in entry else list(entry["arguments"])
    path = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
    out = {"diags": [], "declared": {}, "defined": set(), "named": set(), "fields": {},
           "reads": set(), "uses": {}}
    os.chdir(entry["directory"])
    clean = []
    skip = False
    for arg in args[1:]:
        if skip:
            skip = False
        elif arg in ("-o", "-c", "-MF", "-MT", "-MQ"):
            skip = arg != "-c"
        elif arg != entry["file"] and arg != path:
            clean.append(arg)
    try:
        tu = ci.Index.create().parse(path, args=clean + EXTRA)
    except ci.TranslationUnitLoadError as error:
        out["diags"].append("%s: clang could not parse it (%s)" % (os.path.relpath(path, ROOT), error))
        return out
    for d in tu.diagnostics:
        if d.option.startswith("-Wunused") and d.location.file and ours(os.path.realpath(d.location.file.name)):
            out["diags"].append("%s:%d: %s [%s]" % (os.path.relpath(os.path.realpath(d.location.file.name), ROOT),
                                                   d.location.line, d.spelling, d.option))

    def visit(node, parent, function):
        kind = node.kind
        if kind in FUNCTIONS:
            usr = node.get_usr()
            if node.is_definition():
                out["defined"].add(usr)
                function = usr
            elif kind in (K.CXX_METHOD, K.FUNCTION_TEMPLATE) and not node.is_pure_virtual_method() \
                    and not node.spelling.startswith("operator"):
                tokens = [t.spelling for t in node.get_tokens()]
                if "delete" not in tokens[-2:] and "default" not in tokens[-2:]:
                    out["declared"].setdefault(usr, (where(node), name_of(node)))
            if kind == K.CXX_METHOD and node.is_definition() and not virtual(node) \
                    and not node.spelling.startswith("operator") and internal(node.canonical):
                out["declared"].setdefault("callable:" + usr, (where(node), name_of(node)))
        elif kind == K.FIELD_DECL and internal(node) and not plain(node.semantic_parent):
            record = node.type.get_canonical().kind == ci.TypeKind.RECORD
            out["fields"].setdefault(node.get_usr(), (where(node), name_of(node), record,
                                                      aggregate(node.semantic_parent)))
        ref = node.referenced if kind in (K.MEMBER_REF_EXPR, K.DECL_REF_EXPR, K.MEMBER_REF,
                                          K.CALL_EXPR, K.OVERLOADED_DECL_REF) else None
        if ref is not None:
            usr = ref.get_usr()
            if ref.kind == K.FIELD_DECL:
                op = assigned(node, parent)
                write = op is not None or (kind == K.MEMBER_REF and parent is not None
                                           and parent.kind == K.CONSTRUCTOR)
                owner = op is not None and new_object(parent)
                if not write or owner:
                    out["reads"].add(usr)
                # Assigned with = from an expression that does not read it.
                fresh = op == "=" and not owner and not any(
                    c.kind == K.MEMBER_REF_EXPR and c.referenced is not None and c.referenced.get_usr() == usr
                    for c in list(parent.get_children())[-1].walk_preorder())
                first = out["uses"].setdefault(usr, [function, fresh, set(), False])
                first[2].add(function)
                if kind == K.MEMBER_REF_EXPR and not through_this(node):
                    first[3] = True
            elif kind != K.CALL_EXPR or ref.kind != K.CONSTRUCTOR:
                out["named"].add(usr)
                # A call through a template names the template, not the instance.
                template = ci.conf.lib.clang_getSpecializedCursorTemplate(ref)
                if template is not None and not template.kind.is_invalid():
                    out["named"].add(template.get_usr())
        for child in node.get_children():
            loc = child.location.file
            if loc is None or ours(os.path.realpath(loc.name)):
                visit(child, node, function)

    for top in tu.cursor.get_children():
        if top.location.file and ours(os.path.realpath(top.location.file.name)):
            visit(top, None, None)
    return out


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    global EXTRA
    EXTRA = sys.argv[2:]
    with open(os.path.join(sys.argv[1], "compile_commands.json")) as f:
        entries = {}
        for entry in json.load(f):
            entries.setdefault(os.path.realpath(os.path.join(entry["directory"], entry["file"])), entry)
    with multiprocessing.Pool(os.cpu_count()) as pool:
        results = pool.map(scan, [entries[k] for k in sorted(entries) if ours(k)], chunksize=1)
    findings = set()
    declared, defined, named, fields, reads, uses = {}, set(), set(), {}, set(), {}
    for r in results:
        findings.update(r["diags"])
        declared.update(r["declared"])
        defined |= r["defined"]
        named |= r["named"]
        fields.update(r["fields"])
        reads |= r["reads"]
        for usr, (function, write, functions, elsewhere) in r["uses"].items():
            entry = uses.setdefault(usr, [function, write, set(), False])
            entry[2] |= functions
            entry[3] = entry[3] or elsewhere
    for usr, (loc, name) in declared.items():
        if usr.startswith("callable:"):
            if usr[9:] not in named:
                findings.add("%s: %s: defined, nothing calls it" % (loc, name))
        elif usr not in defined:
            findings.add("%s: %s: declared, defined nowhere" % (loc, name))
    for usr, (loc, name, record, in_aggregate) in fields.items():
        if usr not in reads:
            if usr in uses:
                findings.add("%s: %s: assigned, never read" % (loc, name))
            elif not record:
                findings.add("%s: %s: never used" % (loc, name))
        elif len(uses[usr][2]) == 1 and uses[usr][1] and uses[usr][0] is not None and not uses[usr][3] \
                and not in_aggregate:
            findings.add("%s: %s: assigned before every read in its one function: a local" % (loc, name))
    for line in sorted(findings):
        print(line)
    print("unused: %d translation units, %d findings" % (len(results), len(findings)), file=sys.stderr)
    return 1 if findings else 0


EXTRA = []
if __name__ == "__main__":
    sys.exit(main())
