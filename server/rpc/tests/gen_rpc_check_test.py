#!/usr/bin/env python3
"""The committed copies of the Qd40 interface are the generator's output, and
the generator's check mode tells when one is not: edited by hand, stale or
missing."""
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
GEN = os.path.join(HERE, "..", "gen_rpc.py")
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(HERE, ".."))
import gen_rpc  # noqa: E402


def check(*extra):
    return subprocess.run([sys.executable, GEN, "--check", *extra], capture_output=True, text=True)


def main():
    failures = []
    committed = check()
    if committed.returncode != 0:
        failures.append("the committed files differ from the table:\n" + committed.stderr)

    repo = os.path.normpath(os.path.join(HERE, "..", "..", ".."))
    with tempfile.TemporaryDirectory() as root:
        for rel in gen_rpc.OUTPUTS:
            os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
            shutil.copy(os.path.join(repo, rel), os.path.join(root, rel))
        if check("--root", root).returncode != 0:
            failures.append("a faithful copy of the generated files is reported as different")
        cases = [("control/ctl/qd40_link_methods.inc", "edit"),
                 ("server/qd40_methods.inc", "remove")]
        for rel, change in cases:
            path = os.path.join(root, rel)
            kept = open(path, encoding="utf-8").read()
            if change == "edit":
                with open(path, "a", encoding="utf-8") as f:
                    f.write("virtual HRESULT Extra() = 0;\n")
            else:
                os.remove(path)
            result = check("--root", root)
            if result.returncode != 1 or rel not in result.stderr:
                failures.append("%s (%s) not reported: rc %d, %s" % (rel, change, result.returncode,
                                                                     result.stderr))
            with open(path, "w", encoding="utf-8") as f:
                f.write(kept)
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
