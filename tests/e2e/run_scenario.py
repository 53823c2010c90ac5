#!/usr/bin/env python3
"""Runs end-to-end scenarios of QmxAssistant under Wine (see docs/testing.md).

    tests/e2e/run_scenario.py [--build-dir DIR] [--lane K] SCENARIO [SCENARIO...]

SCENARIO is a file under tests/e2e/scenarios/ or its bare name ("off_exits").
Exit code 0 when every scenario passed. The closing line reads
"N passed, N failed". A scenario with a NAMESPACE setting runs by a runner
of its own in new namespaces (namespace.py).
"""

import argparse
import importlib.util
import os
import shutil
import signal
import subprocess
import sys
import time
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "scenarios"))  # shared helpers: scenarios/_*.py

import namespace  # noqa: E402
import qmx_e2e  # noqa: E402

DEFAULT_TIMEOUT_S = 120


def load(path):
    name = os.path.splitext(os.path.basename(path))[0]
    found = importlib.util.spec_from_file_location("scenario_" + name, path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    if not hasattr(module, "run"):
        raise SystemExit("%s has no run(s) function" % path)
    return name, module


def resolve(arg):
    if os.path.isfile(arg):
        return arg
    cand = os.path.join(HERE, "scenarios", arg if arg.endswith(".py") else arg + ".py")
    if os.path.isfile(cand):
        return cand
    raise SystemExit("no scenario %s" % arg)


class Timeout(Exception):
    pass


def on_alarm(signum, frame):
    raise Timeout()


def on_term(signum, frame):
    raise KeyboardInterrupt()


class Tee:
    """Copies what the scenario prints into a buffer, kept on failure."""

    def __init__(self, stream):
        self.stream, self.parts = stream, []

    def write(self, text):
        self.parts.append(text)
        return self.stream.write(text)

    def flush(self):
        self.stream.flush()


def keep_failure(s, text):
    """Keep a failed run's log, screenshots and work files where a later
    passing run of the same scenario does not overwrite them."""
    kept = os.path.join(s.e2e_dir, "failed", s.name)
    shutil.rmtree(kept, ignore_errors=True)
    os.makedirs(kept)
    with open(os.path.join(kept, "run.log"), "w") as f:
        f.write(text)
    for src, dst in ((s.shots_dir, "shots"), (s.work, "work")):
        if os.path.isdir(src):
            shutil.copytree(src, os.path.join(kept, dst), ignore=shutil.ignore_patterns("docroot"))
    print("  kept in %s" % kept, flush=True)


def run_in_namespace(path, args):
    """Run one scenario by a runner of its own in new namespaces."""
    again = [os.path.abspath(__file__), "--build-dir", args.build_dir, "--lane", str(args.lane)]
    again += ["--ports", args.ports] if args.ports else []
    again += ["-v"] if args.verbose else []
    runner = subprocess.Popen(namespace.command(again + [path]),
                              env=dict(os.environ, **{namespace.INSIDE: "1"}))
    try:
        return runner.wait() == 0
    except KeyboardInterrupt:
        runner.terminate()  # it cleans up as on any interruption
        runner.wait()
        raise


def run_one(path, args):
    name, module = load(path)
    if hasattr(module, "NAMESPACE"):
        if not namespace.inside():
            return run_in_namespace(path, args)
        namespace.enter(module.NAMESPACE)
    s = qmx_e2e.Scenario(name, module, args.build_dir, ports=args.ports, verbose=args.verbose,
                         lane=args.lane)
    tee = Tee(sys.stdout)
    sys.stdout = tee
    try:
        ok = run_scenario(s, module, name)
    finally:
        sys.stdout = tee.stream
    if not ok:
        keep_failure(s, "".join(tee.parts))
    return ok


def run_scenario(s, module, name):
    limit = int(getattr(module, "TIMEOUT", DEFAULT_TIMEOUT_S))
    started = time.time()
    ok = False
    try:
        s.setup()
        # Stop a few seconds before ctest's own TIMEOUT would kill us
        # without clean-up.
        signal.alarm(max(5, int(limit - 8 - (time.time() - started))))
        s.step("start")
        module.run(s)
        ok = True
    except qmx_e2e.ScenarioFailure as e:
        print("FAIL %s: %s" % (name, e), flush=True)
    except Timeout:
        print("FAIL %s: step '%s' still running as the scenario's TIMEOUT (%d s) neared" % (name, s._step, limit),
              flush=True)
    except KeyboardInterrupt:
        print("FAIL %s: interrupted in step '%s'" % (name, s._step), flush=True)
        raise
    except Exception:
        print("FAIL %s: error in step '%s':" % (name, s._step), flush=True)
        traceback.print_exc()
    finally:
        signal.alarm(0)
        try:
            if not ok and s.display:
                shot = s.shot("FAIL-" + s._step)
                print("  screenshot: %s" % shot)
            if not ok:
                for app in s._apps:
                    out = app.output().strip() if os.path.exists(app.log_path) else ""
                    if out:
                        print("  output of %s: %s" % (app.name, out[-2000:]))
                log = s.access_log()
                print("  server requests: %s" % (["%s %s %d" % (e["method"], e["path"], e["status"])
                                                 for e in log] or "none"))
        except Exception as e:  # never let reporting hide the clean-up
            print("  (could not collect failure details: %s)" % e)
        s.teardown()
    print("%s %s (%.1f s)" % ("PASS" if ok else "FAIL", name, time.time() - started), flush=True)
    return ok


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build-dir", default=os.path.join(qmx_e2e.TOP, "build", "windows"),
                    help="the Windows build folder (default build/windows)")
    ap.add_argument("--ports", default=None,
                    help="loopback port range for the server, e.g. 18500-18599 "
                         "(default $QMX_E2E_PORTS or %s)" % qmx_e2e.DEFAULT_PORTS)
    ap.add_argument("-v", "--verbose", action="store_true", help="print every probe answer")
    ap.add_argument("--prepare", action="store_true",
                    help="only create the Wine prefix of each lane, then exit")
    ap.add_argument("--lane", type=int, default=0,
                    help="run in this lane's prefix and port range (lanes run side by side)")
    ap.add_argument("--lanes", type=int, default=1, help="with --prepare: how many lanes")
    ap.add_argument("scenarios", nargs="*")
    args = ap.parse_args()
    if args.prepare:
        for lane in range(args.lanes):
            qmx_e2e.Scenario("prepare", None, args.build_dir, lane=lane).prepare_prefix()
        print("e2e prefix ready for %d lane(s)" % args.lanes)
        return 0
    if not args.scenarios:
        ap.error("name at least one scenario")

    signal.signal(signal.SIGALRM, on_alarm)
    signal.signal(signal.SIGTERM, on_term)
    signal.signal(signal.SIGINT, on_term)
    paths = [resolve(a) for a in args.scenarios]
    passed = failed = 0
    for path in paths:
        if run_one(path, args):
            passed += 1
        else:
            failed += 1
    print("%d passed, %d failed" % (passed, failed), flush=True)
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    try:
        sys.exit(main())
    except KeyboardInterrupt:
        sys.exit(130)
