#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into fuzz/corpus/<target>/.

Archives come from this project's own driver (orvzip), from Info-ZIP zip, from Python's
zipfile and from bsdtar, plus a few damaged ones made by hand from them (cut short, long
comments, two end records). The modify target takes four control bytes in front of each
archive; every archive goes in with a few of them. Usage:

    fuzz/make_corpus.py [path/to/orvzip]    (default: the first build*/bin/orvzip found)
"""
import glob
import hashlib
import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")
DATE = (2021, 6, 15, 10, 20, 30)


def run(args, cwd, stdin=None):
    subprocess.run(args, cwd=cwd, check=True, input=stdin, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def sample_files(work):
    files = {
        "hello.txt": b"hello, world\r\n" * 3,
        "empty.dat": b"",
        "sub/deeper/data.bin": bytes(range(256)) * 2,
        "sub/notes.txt": b"notes " * 40,
    }
    for name, data in files.items():
        path = os.path.join(work, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        os.utime(path, (1623752430, 1623752430))
    return files


def ours(driver, work):
    out = {}
    def make(label, *args):
        path = os.path.join(work, label + ".zip")
        if os.path.exists(path):
            os.remove(path)
        run([driver, *args[0], "create", path, "open", path, *args[1]], cwd=work)
        with open(path, "rb") as f:
            out["orvzip-" + label] = f.read()
    make("one", [], ["add", "hello.txt"])
    make("empty-entry", [], ["add", "empty.dat"])
    make("three", ["--store-relative-path"], ["add", "hello.txt", "add", "sub/notes.txt", "add", "sub/deeper/data.bin"])
    make("folders", ["--store-relative-path", "--store-folders"], ["add", "sub/deeper/data.bin"])
    make("comment", [], ["add", "hello.txt", "add", "sub/notes.txt", "set-comment", "first\nsecond"])
    make("rebuilt", ["--save-method", "rebuild", "--compression", "none"],
         ["add", "hello.txt", "add", "sub/notes.txt", "remove", "0"])
    return out


def info_zip(work):
    out = {}
    def make(label, options, names):
        path = os.path.join(work, "iz-" + label + ".zip")
        run(["zip", "-q", "-X", *options, path, *names], cwd=work)
        with open(path, "rb") as f:
            out["zip-" + label] = f.read()
    make("deflate", ["-9"], ["hello.txt", "sub/notes.txt"])
    make("store", ["-0"], ["hello.txt", "empty.dat"])
    make("recursive", ["-r"], ["sub"])
    make("encrypted", ["-P", "secret"], ["hello.txt"])
    # From a pipe: zip cannot seek back, so the sizes follow the data in a descriptor.
    path = os.path.join(work, "iz-stream.zip")
    with open(path, "wb") as f:
        subprocess.run(["zip", "-q", "-", "-"], cwd=work, input=b"streamed data " * 20, stdout=f, check=True)
    with open(path, "rb") as f:
        out["zip-stream"] = f.read()
    path = os.path.join(work, "iz-comment.zip")
    run(["zip", "-q", "-X", "-z", path, "hello.txt"], cwd=work, stdin=b"an archive comment\nof two lines\n.\n")
    with open(path, "rb") as f:
        out["zip-comment"] = f.read()
    return out


def python_zipfile(files):
    out = {}
    def make(label, compression, comment=b"", zip64=False, extra=None):
        buf = io.BytesIO()
        with zipfile.ZipFile(buf, "w", compression) as z:
            for name, data in files.items():
                info = zipfile.ZipInfo(name, DATE)
                info.compress_type = compression
                if extra is not None:
                    info.extra = extra
                with z.open(info, "w", force_zip64=zip64) as f:
                    f.write(data)
            z.comment = comment
        out["zipfile-" + label] = buf.getvalue()
    make("deflated", zipfile.ZIP_DEFLATED)
    make("stored", zipfile.ZIP_STORED, comment=b"stored by zipfile")
    make("zip64", zipfile.ZIP_DEFLATED, zip64=True)
    make("extra", zipfile.ZIP_DEFLATED, extra=struct.pack("<HH4s", 0xCAFE, 4, b"abcd"))

    class Unseekable(io.RawIOBase):
        def __init__(self):
            self.data = bytearray()
        def writable(self):
            return True
        def write(self, b):
            self.data += b
            return len(b)
    sink = Unseekable()
    with zipfile.ZipFile(sink, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr(zipfile.ZipInfo("streamed.txt", DATE), b"streamed " * 30)
        z.writestr(zipfile.ZipInfo("dir/", DATE), b"")
    out["zipfile-descriptor"] = bytes(sink.data)
    buf = io.BytesIO()
    zipfile.ZipFile(buf, "w").close()
    out["zipfile-empty"] = buf.getvalue()
    return out


def bsdtar(work):
    out = {}
    for label, opts in (("deflate", []), ("store", ["--options", "zip:compression=store"])):
        path = os.path.join(work, "bt-" + label + ".zip")
        run(["bsdtar", "--format", "zip", *opts, "-cf", path, "hello.txt", "sub"], cwd=work)
        with open(path, "rb") as f:
            out["bsdtar-" + label] = f.read()
    return out


def damaged(archives):
    """Hand-made damage, from archives made above."""
    out = {}
    base = archives["orvzip-three"]
    end = base.rfind(b"PK\x05\x06")
    directory = struct.unpack_from("<I", base, end + 16)[0]
    out["cut-in-directory"] = base[: directory + 30]
    out["cut-in-data"] = base[: directory - 10]
    out["no-directory"] = base[:directory]
    out["end-record-only"] = b"PK\x05\x06" + bytes(18)
    out["local-header-only"] = base[:40]

    def with_comment(data, comment):
        e = data.rfind(b"PK\x05\x06")
        return data[: e + 20] + struct.pack("<H", len(comment)) + comment
    one = archives["orvzip-one"]
    out["comment-out-of-reach"] = with_comment(one, b"c" * (600 - len(one) - 0))[:600]
    out["comment-second-pass"] = with_comment(base + b"", b"x" * 1200)
    out["comment-third-pass"] = with_comment(one, b"y" * 60000)
    out["two-end-records"] = with_comment(one, b"PK\x05\x06" + bytes(18))
    # An end record claiming a huge directory count and an offset far behind the end.
    e = one.rfind(b"PK\x05\x06")
    out["hostile-counts"] = one[: e + 8] + struct.pack("<HHII", 60000, 60000, 0xFFFFFFF0, 0x7FFFFFF0) + b"\0\0"
    return out


# Control bytes of the modify target: remove and add (FastSave), the same rebuilding with
# temporary files, everything with folders and relative paths, and a replacing add.
MODIFY_PREFIXES = [bytes([0x0C, 0, 0x41, 0]), bytes([0x0F, 1, 0x91, 1]), bytes([0x7D, 2, 0xF8, 0x0B]),
                   bytes([0x98, 0, 0x20, 0x22])]

NAMES = [b"C:\\dir\\file.txt", b"\\\\server\\share\\a\\b.dat", b"dir//sub/file", b"a:b", b"", b"/abs/path",
         b"..\\..\\x", b"x/", b"c:/one//two\\three", b"D:\\", b"//host/share"]


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def main():
    driver = sys.argv[1] if len(sys.argv) > 1 else next(iter(sorted(glob.glob(os.path.join(HERE, "..", "build*", "bin", "orvzip")))), None)
    if driver is None or not os.access(driver, os.X_OK):
        sys.exit("make_corpus.py: give the path of the orvzip driver (build it with cmake first)")
    driver = os.path.abspath(driver)
    for target in ("open", "modify", "names"):
        shutil.rmtree(os.path.join(CORPUS, target), ignore_errors=True)
    with tempfile.TemporaryDirectory() as work:
        files = sample_files(work)
        archives = {}
        archives.update(ours(driver, work))
        archives.update(info_zip(work))
        archives.update(python_zipfile(files))
        archives.update(bsdtar(work))
        archives.update(damaged(archives))
    for label, data in sorted(archives.items()):
        write("open", label + ".zip", data)
        if len(data) <= 8192:
            for i, prefix in enumerate(MODIFY_PREFIXES):
                write("modify", "%s-%d" % (label, i), prefix + data)
    for name in NAMES:
        write("names", hashlib.sha1(name).hexdigest()[:12], name)
    print("corpus: %d archives, %d names" % (len(archives), len(NAMES)))


if __name__ == "__main__":
    main()
