#!/usr/bin/env python3
"""Makes the player's release zip so that the same sources give the same bytes: entries sorted by name,
every entry (and the programs' PE time stamps) dated at the source's last commit or SOURCE_DATE_EPOCH,
fixed attributes and compression.

    make_zip.py OUTPUT.zip --strip STRIP --source DIR --sums NAME ENTRY...

ENTRY is NAME=PATH: the file PATH as NAME in the zip, or every file under the folder PATH below NAME/; a
folder of the source takes only the files git tracks there (a file left over by hand stays out).
Programs (.exe, .dll) go in stripped with STRIP, texts for Notepad and cmd.exe (.txt, .cmd) with CRLF
line ends. NAME under --sums is a SHA256SUMS file of every other entry, in sha256sum's format.
"""
import argparse
import hashlib
import os
import subprocess
import sys
import tempfile
import time
import zipfile

FALLBACK_EPOCH = 1767225600   # 2026-01-01 00:00 UTC, for sources outside git


def release_epoch(source):
    """SOURCE_DATE_EPOCH when set, else the time of the source's last commit."""
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    try:
        return int(subprocess.run(["git", "-C", source, "log", "-1", "--format=%ct"], capture_output=True,
                                  text=True, check=True, timeout=60).stdout.strip())
    except (OSError, ValueError, subprocess.SubprocessError):
        return FALLBACK_EPOCH


def folder_files(folder, source):
    """The files of folder: those git tracks, when it is a folder of the source's checkout (a build tree
    inside the source is none: git tracks nothing there)."""
    if os.path.commonpath([os.path.abspath(folder), os.path.abspath(source)]) == os.path.abspath(source):
        try:
            listed = subprocess.run(["git", "-C", folder, "ls-files", "-z", "--full-name", "."], capture_output=True,
                                    check=True, timeout=60).stdout.decode().split("\0")
            top = subprocess.run(["git", "-C", folder, "rev-parse", "--show-toplevel"], capture_output=True,
                                 check=True, timeout=60, text=True).stdout.strip()
            if any(listed):
                return [os.path.join(top, name) for name in listed if name]
        except (OSError, subprocess.SubprocessError):
            pass
    return [os.path.join(root, file) for root, _, names in os.walk(folder) for file in names]


def gather(entries, source):
    """{zip name: file path} for every NAME=PATH, folders listed."""
    files = {}
    for entry in entries:
        name, _, path = entry.partition("=")
        if os.path.isdir(path):
            for full in folder_files(path, source):
                files[name + "/" + os.path.relpath(full, path).replace(os.sep, "/")] = full
        elif os.path.isfile(path):
            files[name] = path
        else:
            sys.exit("make_zip: %s: no such file or folder" % path)
    return files


def content(name, path, strip, epoch):
    if name.endswith((".exe", ".dll")):
        with tempfile.TemporaryDirectory() as work:
            stripped = os.path.join(work, "stripped")
            # strip writes a new PE time stamp: the release's date rather than the clock's.
            subprocess.run([strip, "-o", stripped, path], check=True, timeout=300,
                           env=dict(os.environ, SOURCE_DATE_EPOCH=str(epoch)))
            with open(stripped, "rb") as f:
                return f.read()
    with open(path, "rb") as f:
        data = f.read()
    if name.endswith((".txt", ".cmd")):
        data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
    return data


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("output")
    parser.add_argument("--strip", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--sums", required=True)
    parser.add_argument("entries", nargs="+")
    args = parser.parse_args()

    epoch = max(release_epoch(args.source), 315532800)   # zip dates start in 1980
    data = {name: content(name, path, args.strip, epoch) for name, path in gather(args.entries, args.source).items()}
    data[args.sums] = "".join("%s  %s\n" % (hashlib.sha256(data[name]).hexdigest(), name)
                              for name in sorted(data)).encode("ascii")
    date = time.gmtime(epoch)[:6]

    os.makedirs(os.path.dirname(os.path.abspath(args.output)), exist_ok=True)
    partial = args.output + ".partial"
    with zipfile.ZipFile(partial, "w") as archive:
        for name in sorted(data):
            info = zipfile.ZipInfo(name, date)
            info.create_system = 0       # made for Windows: MS-DOS attributes
            info.external_attr = 0
            info.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(info, data[name], compresslevel=9)
    os.replace(partial, args.output)
    return 0


if __name__ == "__main__":
    sys.exit(main())
