#!/usr/bin/env python3
"""Static checks of the shipped programs, none of which needs Wine to run them.

  embedded-worker LAUNCHER WORKER
      resource 301 (RT_RCDATA) of LAUNCHER is a packed file (resources/pack.py)
      that expands to WORKER byte for byte
  no-test-markers --control TEST_PROGRAM PROGRAM...
      no PROGRAM contains a test host or test hook name (ASCII or UTF-16LE);
      TEST_PROGRAM, a test build, must contain one, which shows the search works
  imports-exported PROGRAM DLL_DIR
      every function PROGRAM imports is exported by the DLL of that name in DLL_DIR
  delay-loads-exported DEF_DIR NAMES DLL_DIR PROGRAM...
      every function a delay-load list (DEF_DIR/NAME.def for each NAME of the
      comma-separated NAMES) names is exported by the DLL it names in DLL_DIR
      (GNU ld writes no delay-import directory to read them back from the
      program), and no PROGRAM imports one of those DLLs at start (a call
      missing from a list links as an ordinary import where the toolchain's
      default libraries have the DLL, as for shell32)
  known-dlls-only PROGRAM...
      every DLL a PROGRAM imports at start is a KnownDLL of Windows 10 2004 or
      an API set: Windows looks for any other in the program's own folder
      (for a setup, Downloads) before the system folder
  signed CA_FILE PROGRAM...
      every PROGRAM carries an Authenticode signature that osslsigncode verifies
      against the authority CA_FILE, and a copy with one byte of its code
      changed does not verify
  version VERSION HASH PROGRAM...
      every PROGRAM has a version resource with file and product version
      VERSION, the product name "Tavo Studio", its own file name, a description,
      company and copyright, and the source revision HASH
  static DLL_DIR_X64 DLL_DIR_I386 PROGRAM...
      every DLL a PROGRAM imports is a system DLL of Wine for its machine:
      nothing from the MinGW runtime (libstdc++, libgcc, libwinpthread)
Exit code 0 when the check holds, 1 when it does not, 2 for a bad command line."""

import pathlib
import subprocess
import sys
import tempfile

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[2] / "resources"))
import pack  # noqa: E402
import pe  # noqa: E402

WORKER_RESOURCE = 301
TEST_MARKERS = ["localhost", "TAVO_TEST_HOOK"]
MACHINE_I386, MACHINE_AMD64 = 0x14C, 0x8664


def embedded_worker(launcher, worker):
    embedded = pe.PeFile.load(launcher).resource(pe.RT_RCDATA, WORKER_RESOURCE)
    expected = pathlib.Path(worker).read_bytes()
    if embedded is None:
        return ["%s has no RT_RCDATA resource %d" % (launcher, WORKER_RESOURCE)]
    try:
        expanded = pack.unpack(embedded)
    except ValueError as error:
        return ["%s resource %d: %s" % (launcher, WORKER_RESOURCE, error)]
    if expanded != expected:
        return ["%s resource %d expands to %d bytes that differ from %s (%d bytes)"
                % (launcher, WORKER_RESOURCE, len(expanded), worker, len(expected))]
    return []


def markers_in(path):
    data = pathlib.Path(path).read_bytes()
    found = []
    for marker in TEST_MARKERS:
        for encoding in ("ascii", "utf-16-le"):
            if marker.encode(encoding) in data:
                found.append("%s (%s)" % (marker, encoding))
    return found


def no_test_markers(control, programs):
    problems = []
    if not markers_in(control):
        problems.append("control %s contains no test marker: the search would miss them" % control)
    for program in programs:
        problems += ["%s contains %s" % (program, found) for found in markers_in(program)]
    return problems


def system_dll(dll_dir, dll):
    """The Wine DLL file that serves an import of `dll`, through the API set map
    for api-ms-/ext-ms- names; None when Wine has none."""
    path = pathlib.Path(dll_dir) / dll
    if path.is_file():
        return path
    if dll.startswith(("api-ms-", "ext-ms-")):
        host = pe.api_set_hosts(pathlib.Path(dll_dir) / "apisetschema.dll").get(pe.api_set_key(dll))
        if host:
            return pathlib.Path(dll_dir) / host
    return None


def imports_exported(program, dll_dir):
    problems = []
    for dll, functions in sorted(pe.PeFile.load(program).imports().items()):
        path = system_dll(dll_dir, dll)
        if path is None:
            problems.append("%s imports %s, which Wine does not have in %s" % (program, dll, dll_dir))
            continue
        exported = pe.PeFile.load(path).exports()
        problems += ["%s imports %s!%s, which Wine's %s does not export" % (program, dll, f, path.name)
                     for f in functions if f not in exported]
    return problems


# The KnownDLLs of Windows 10 2004 (Session Manager\KnownDLLs and what they
# load themselves), which the loader maps from the system folder whatever the
# search order. comctl32 is here for its version 6, which the launcher's
# manifest binds to the side-by-side assembly in WinSxS.
KNOWN_DLLS = {
    "advapi32", "clbcatq", "combase", "comdlg32", "coml2", "difxapi", "gdi32", "gdiplus", "imagehlp", "imm32",
    "kernel32", "kernelbase", "msctf", "msvcrt", "normaliz", "nsi", "ntdll", "ole32", "oleaut32", "psapi",
    "rpcrt4", "sechost", "setupapi", "shcore", "shell32", "shlwapi", "user32", "wldap32", "ws2_32", "comctl32",
}


def known_dlls_only(programs):
    problems = []
    for program in programs:
        for dll in sorted(pe.PeFile.load(program).imports()):
            name = dll[:-4] if dll.endswith(".dll") else dll
            if name not in KNOWN_DLLS and not name.startswith(("api-ms-win-", "ext-ms-win-")):
                problems.append("%s imports %s at start, which Windows would look for beside the program first"
                                % (program, dll))
    return problems


def delay_loads_exported(def_dir, names, dll_dir, programs):
    problems, delayed = [], set()
    for listing in [pathlib.Path(def_dir) / (name + ".def") for name in names.split(",") if name]:
        if not listing.is_file():
            problems.append("%s: no delay-load list of that name" % listing)
            continue
        lines = [line.split(";")[0].strip() for line in listing.read_text().splitlines()]
        lines = [line for line in lines if line]
        if not lines or not lines[0].startswith("LIBRARY ") or "EXPORTS" not in lines:
            problems.append("%s is not a LIBRARY ... EXPORTS list" % listing)
            continue
        dll = lines[0].split()[1].lower()
        delayed.add(dll)
        path = system_dll(dll_dir, dll)
        if path is None:
            problems.append("%s names %s, which Wine does not have in %s" % (listing.name, dll, dll_dir))
            continue
        exported = pe.PeFile.load(path).exports()
        problems += ["%s names %s!%s, which Wine's %s does not export" % (listing.name, dll, f, path.name)
                     for f in lines[lines.index("EXPORTS") + 1:] if f not in exported]
    for program in programs:
        problems += ["%s imports %s at start, beside its delay-load list" % (program, dll)
                     for dll in sorted(delayed & set(pe.PeFile.load(program).imports()))]
    return problems


def verifies(program, ca_file):
    result = subprocess.run(["osslsigncode", "verify", "-CAfile", ca_file, "-in", str(program)],
                            capture_output=True, timeout=120)
    return result.returncode == 0, result.stdout.decode(errors="replace")[-600:]


def signed(ca_file, programs):
    problems = []
    for program in programs:
        ok, output = verifies(program, ca_file)
        if not ok:
            problems.append("%s does not verify against %s: %s" % (program, ca_file, output))
            continue
        # One byte of the first section changed: the signature must catch it.
        image = pe.PeFile.load(program)
        with tempfile.TemporaryDirectory() as folder:
            copy = pathlib.Path(folder, pathlib.Path(program).name)
            data = bytearray(image.data)
            data[image.sections[0][2] + 64] ^= 0x01
            copy.write_bytes(bytes(data))
            if verifies(copy, ca_file)[0]:
                problems.append("%s still verifies with a changed byte" % program)
    return problems


def version(expected, build_hash, programs):
    numbers = tuple(int(part) for part in expected.split("."))
    problems = []
    for program in programs:
        block = pe.PeFile.load(program).resource(pe.RT_VERSION, 1)
        if block is None:
            problems.append("%s has no version resource" % program)
            continue
        file_version, product_version, strings = pe.version_info(block)
        wanted = {"FileVersion": expected, "ProductVersion": expected, "ProductName": "Tavo Studio",
                  "OriginalFilename": pathlib.Path(program).name, "SourceRevision": build_hash,
                  "CompanyName": "Tavo Studio Inc."}
        problems += ["%s: %s is %r, not %r" % (program, name, strings.get(name), value)
                     for name, value in wanted.items() if strings.get(name) != value]
        problems += ["%s: no %s" % (program, name) for name in ("FileDescription", "LegalCopyright")
                     if not strings.get(name)]
        if (file_version, product_version) != (numbers, numbers):
            problems.append("%s: fixed versions %s and %s, not %s" % (program, file_version, product_version,
                                                                     numbers))
    return problems


def static(dll_dir_x64, dll_dir_i386, programs):
    problems = []
    for program in programs:
        image = pe.PeFile.load(program)
        dll_dir = {MACHINE_AMD64: dll_dir_x64, MACHINE_I386: dll_dir_i386}.get(image.machine)
        if dll_dir is None:
            problems.append("%s has unexpected machine 0x%X" % (program, image.machine))
            continue
        for dll in sorted(image.imports()):
            if dll.startswith("lib") or system_dll(dll_dir, dll) is None:
                problems.append("%s imports %s, which is not a Windows system DLL" % (program, dll))
    return problems


def main(argv):
    command, args = (argv[1], argv[2:]) if len(argv) > 1 else ("", [])
    if command == "embedded-worker" and len(args) == 2:
        problems = embedded_worker(*args)
    elif command == "no-test-markers" and len(args) >= 3 and args[0] == "--control":
        problems = no_test_markers(args[1], args[2:])
    elif command == "imports-exported" and len(args) == 2:
        problems = imports_exported(*args)
    elif command == "delay-loads-exported" and len(args) >= 4:
        problems = delay_loads_exported(args[0], args[1], args[2], args[3:])
    elif command == "known-dlls-only" and args:
        problems = known_dlls_only(args)
    elif command == "signed" and len(args) >= 2:
        problems = signed(args[0], args[1:])
    elif command == "version" and len(args) >= 3:
        problems = version(args[0], args[1], args[2:])
    elif command == "static" and len(args) >= 3:
        problems = static(args[0], args[1], args[2:])
    else:
        print(__doc__, file=sys.stderr)
        return 2
    for problem in problems:
        print("FAIL:", problem)
    if not problems:
        print("ok:", command, " ".join(args))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
