#!/usr/bin/env python3
"""Kills the real program with SIGKILL at each write, rename, sync and unlink
of an add, an upload and a download (strace injects the signal on entry to
the Nth call of one kind), and checks after each kill that every file is
old or new and every log parses, and that running the same command again
ends as an uninterrupted run does (as two do, after a kill that came once the
run had finished its work) and leaves no temporary file.

usage: killpoints.py TROSK_BINARY SCRATCH_DIR [--all]
Without --all a sample of the points is tried."""

import os
import re
import shutil
import subprocess
import sys
import xml.etree.ElementTree as ET

CALLS = ["write", "rename", "renameat2", "link", "linkat", "unlink", "fsync", "fdatasync",
         "syncfs", "mkdir"]
STAMP = re.compile(rb"\d{1,2}/\d\d/\d\d +\d{1,2}:\d\d:\d\d")
LOGGED = re.compile(rb"<(date|time)>\d+</(date|time)>")
COMMENT = re.compile(rb" -- .*")
# Files whose content says when or how often, not what the run did.
UNCOMPARED = {"trosk_tmp.txt", "trosk_P_log.txt", "trosk.lock"}


def temporary(name):
    return ".trosk-" in name or name == "stagefile.xml"


def snapshot(root):
    files = {}
    for top, _, names in os.walk(root):
        for name in names:
            path = os.path.join(top, name)
            with open(path, "rb") as f:
                files[os.path.relpath(path, root)] = f.read()
    return files


def normal(rel, data):
    data = LOGGED.sub(rb"<\1/>", STAMP.sub(b"<stamp>", data))
    if rel.endswith("versionlog.txt"):
        data = COMMENT.sub(b"", data)
    return data


def comparable(files):
    return {rel: normal(rel, data) for rel, data in files.items()
            if os.path.basename(rel) not in UNCOMPARED and not temporary(os.path.basename(rel))}


class Scenario:
    def __init__(self, name, workdir, args, answers=b"", probe=None, check=None):
        self.name, self.workdir, self.args, self.answers = name, workdir, args, answers
        # Checks the host a kill left, besides every file being old or new.
        self.check = check
        # Checks the host a kill left, before the second run. A scenario with
        # a probe makes something new: run again after its host files were
        # published, it is a second add with a version-log line of its own,
        # so the second run is not compared with an uninterrupted one.
        self.probe = probe


def run(binary, root, scenario, strace=None):
    command = [binary] + scenario.args
    if strace:
        command = ["strace", "-f", "-qq", "-o", "/dev/null", "-e", "trace=" + strace[0],
                   "-e", "inject=%s:signal=SIGKILL:when=%d" % strace] + command
    return subprocess.run(command, cwd=os.path.join(root, scenario.workdir),
                          input=scenario.answers, stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE)


def count(binary, root, scenario, call):
    summary = os.path.join(root, "..", "strace.sum")
    subprocess.run(["strace", "-f", "-qq", "-c", "-o", summary, "-e", "trace=" + call, binary]
                   + scenario.args, cwd=os.path.join(root, scenario.workdir),
                   input=scenario.answers, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    with open(summary) as f:
        for line in f:
            fields = line.split()
            if fields and fields[-1] == call:
                return int(fields[3])
    return 0


def check(problems, label, before, after, state):
    for rel, data in state.items():
        base = os.path.basename(rel)
        if temporary(base) or base in UNCOMPARED:
            continue
        if rel.endswith(".xml"):
            try:
                ET.fromstring(data)
            except ET.ParseError as error:
                problems.append("%s: %s does not parse: %s" % (label, rel, error))
        old, new = before.get(rel), after.get(rel)
        if rel.endswith(".sig") and new is not None:
            # Signatures of the old text and the new one, side by side.
            lines = set((old or b"").split()) | set(new.split())
            if set(data.split()) <= lines:
                continue
        norm = normal(rel, data)
        if norm not in (normal(rel, old) if old is not None else None,
                        normal(rel, new) if new is not None else None):
            if old is None and new is None:
                problems.append("%s: %s is left over" % (label, rel))
            else:
                problems.append("%s: %s is neither old nor new" % (label, rel))
    for rel in set(before) & set(after):
        if rel not in state and os.path.basename(rel) not in UNCOMPARED:
            problems.append("%s: %s has gone" % (label, rel))


def trial(binary, scratch, template, scenario, full):
    root = os.path.join(scratch, "work")
    shutil.rmtree(root, ignore_errors=True)
    shutil.copytree(template, root, symlinks=True)
    before = snapshot(root)
    reference = run(binary, root, scenario)
    if reference.returncode != 0:
        return ["%s: the uninterrupted run failed: %s" % (scenario.name, reference.stderr)], 0
    after = snapshot(root)
    expected = comparable(after)
    # A kill after the run's last change leaves what an uninterrupted run
    # leaves: running again is then a second command, as after a whole run.
    run(binary, root, scenario)
    twice = comparable(snapshot(root))
    problems, tried = [], 0
    for call in CALLS:
        shutil.rmtree(root)
        shutil.copytree(template, root, symlinks=True)
        calls = count(binary, root, scenario, call)
        points = range(1, calls + 1)
        if not full and call == "write":
            points = range(1, calls + 1, 3)
        for n in points:
            label = "%s, killed at %s #%d" % (scenario.name, call, n)
            shutil.rmtree(root)
            shutil.copytree(template, root, symlinks=True)
            killed = run(binary, root, scenario, strace=(call, n))
            if killed.returncode != -9 and killed.returncode != 137:
                problems.append("%s: the run was not killed (exit %d)" % (label, killed.returncode))
                continue
            killed = snapshot(root)
            check(problems, label, before, after, killed)
            if scenario.check:
                scenario.check(problems, label, binary, root)
            finished = (comparable(killed) == expected and
                        not any(temporary(os.path.basename(rel)) for rel in killed))
            if scenario.probe:
                scenario.probe(problems, label, binary, root)
            again = run(binary, root, scenario)
            if again.returncode != 0:
                problems.append("%s: the second run failed: %s" % (label, again.stderr[-300:]))
                continue
            state = snapshot(root)
            left = [rel for rel in state if temporary(os.path.basename(rel))]
            if left:
                problems.append("%s: temporary files left after the second run: %s"
                                % (label, left))
            got = comparable(state) if not scenario.probe else expected
            want = twice if finished and not scenario.probe else expected
            for rel in sorted(set(got) | set(want)):
                if got.get(rel) != want.get(rel):
                    problems.append("%s: after the second run %s differs from an "
                                    "uninterrupted run" % (label, rel))
            tried += 1
    return problems, tried


def prepare(binary, scratch):
    """Templates: the state before each command. They are made where the
    trials run, since the project list names the host by its full path."""
    base = os.path.join(scratch, "work")
    os.makedirs(os.path.join(base, "host", "trosk"))
    src = os.path.join(base, "src")
    os.makedirs(os.path.join(src, "sub"))
    for i in range(1, 5):
        with open(os.path.join(src, "f%d.txt" % i), "w") as f:
            f.write("file %d\n" % i)
    with open(os.path.join(src, "sub", "deep.txt"), "w") as f:
        f.write("deep\n")
    with open(os.path.join(src, "b.bin"), "wb") as f:
        f.write(bytes(range(256)) * 12)
    host = os.path.join(base, "host")

    def trosk(where, args, answers=b""):
        done = subprocess.run([binary] + args, cwd=where, input=answers, capture_output=True)
        if done.returncode != 0:
            sys.exit("set-up failed: trosk %s: %s" % (" ".join(args), done.stderr))

    templates = {}

    def freeze(name):
        path = os.path.join(scratch, "template-" + name)
        shutil.copytree(base, path, symlinks=True)
        templates[name] = path

    freeze("new")
    trosk(src, NEW_PROJECT, b"y\n")
    dst = os.path.join(base, "dst")
    os.makedirs(dst)
    trosk(dst, ["P", "-host", host, "-download"], b"y\nA\ny\n")
    with open(os.path.join(src, "f1.txt"), "a") as f:
        f.write("more for the add\n")
    with open(os.path.join(src, "f4.txt"), "w") as f:
        f.write("file 4\n")
    freeze("add")
    shutil.rmtree(base)
    shutil.copytree(templates["add"], base, symlinks=True)
    for name in ("f2.txt", "sub/deep.txt"):
        with open(os.path.join(src, name), "a") as f:
            f.write("changed for the upload\n")
    with open(os.path.join(src, "b.bin"), "ab") as f:
        f.write(b"\x00\x01 changed")
    freeze("upload")
    trosk(src, ["P", "-upload", "-prompt", "0", "-comment", "second"])
    freeze("download")
    shutil.rmtree(base)
    shutil.copytree(templates["upload"], base, symlinks=True)
    subprocess.run(["openssl", "genpkey", "-algorithm", "ed25519", "-out",
                    os.path.join(base, "key.pem")], check=True, capture_output=True)
    trosk(src, ["P", "-sign", "../key.pem", "-current"])
    freeze("signed upload")
    return templates


NEW_PROJECT = ["P", "-source", "-host", "../host", "-comment", "start", "-add", "f1.txt", "f2.txt",
               "f3.txt", "sub/deep.txt", "b.bin"]
ADDED = {"f1.txt", "f2.txt", "f3.txt", os.path.join("sub", "deep.txt"), "b.bin"}


def download(binary, root, where):
    os.makedirs(where)
    done = subprocess.run([binary, "P", "-host", os.path.join(root, "host"), "-download"],
                          cwd=where, input=b"y\nA\ny\n", capture_output=True)
    return done.returncode, done.stdout.replace(root.encode(), b"ROOT")


def wholeornone(problems, label, binary, root):
    """A download from the host a killed add of a new project left reads
    either as from a host without the project or as the whole project."""
    code, output = download(binary, root, os.path.join(root, "probe"))
    got = {os.path.relpath(os.path.join(top, n), os.path.join(root, "probe"))
           for top, _, names in os.walk(os.path.join(root, "probe")) for n in names}
    shutil.rmtree(os.path.join(root, "probe"))
    if code == 0 and ADDED <= got:
        return
    empty = os.path.join(root, "..", "nohost")
    shutil.rmtree(empty, ignore_errors=True)
    os.makedirs(os.path.join(empty, "host", "trosk"))
    _, none = download(binary, os.path.abspath(empty), os.path.join(empty, "probe"))
    shutil.rmtree(empty)
    if output != none:
        problems.append("%s: a download reads half a project: %s" % (label, output[-200:]))


def signed(path, signer):
    """Whether a line of the file's signatures is the signer's signature of it."""
    try:
        with open(path + ".sig") as f:
            lines = f.read().split()
    except OSError:
        return False
    for line in lines:
        sig = path + ".bin"
        with open(sig, "wb") as f:
            f.write(bytes.fromhex(line))
        done = subprocess.run(["openssl", "pkeyutl", "-verify", "-pubin", "-inkey", signer,
                               "-rawin", "-in", path, "-sigfile", sig], capture_output=True)
        os.remove(sig)
        if done.returncode == 0:
            return True
    return False


def verifiable(problems, label, binary, root):
    """Every catalogue and log a killed signed writer left is signed by the
    host's key."""
    project = os.path.join(root, "host", "trosk", "P")
    signer = os.path.join(project, "signer.pem")
    for top, _, names in os.walk(project):
        for name in names:
            if name.endswith(".xml") and not temporary(name):
                path = os.path.join(top, name)
                if not signed(path, signer):
                    problems.append("%s: %s is not signed by the host's key"
                                    % (label, os.path.relpath(path, root)))


def main():
    binary, scratch = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    full = "--all" in sys.argv[3:]
    templates = prepare(binary, scratch)
    scenarios = [
        ("new", Scenario("new project", "src", NEW_PROJECT, b"y\n", probe=wholeornone)),
        ("add", Scenario("add", "src", ["P", "-comment", "again", "-add", "f1.txt", "f4.txt"])),
        ("upload", Scenario("upload", "src", ["P", "-upload", "-prompt", "0", "-comment", "up"])),
        ("download", Scenario("download", "dst", ["P", "-download"], b"A\n")),
        ("signed upload", Scenario("signed upload", "src",
                                   ["P", "-upload", "-prompt", "0", "-comment", "up"],
                                   check=verifiable)),
    ]
    failures = 0
    for key, scenario in scenarios:
        problems, tried = trial(binary, scratch, templates[key], scenario, full)
        print("%s: %d kill points, %d problems" % (scenario.name, tried, len(problems)))
        for p in problems[:20]:
            print("FAIL " + p)
        failures += len(problems)
    sys.exit(1 if failures else 0)


if __name__ == "__main__":
    main()
