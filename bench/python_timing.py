"""Fit and predict on 10^5 rows: the MEX call in Octave, the engine through Python, the
estimator, and scikit-learn's KNeighborsClassifier and SVC, all on this machine. Run from
the repository with the build in build/:

    PYTHONPATH=build/python /usr/bin/python3 bench/python_timing.py [rows] [rounds]

The MEX call and the two Python paths run in rounds (5 by default): in each round the same
Octave process times vorla_fit and vorla_eval, then this process times the engine and the
estimator, so that every Python figure has an Octave figure taken moments before it on a
machine whose load changes. The table gives medians in seconds; the ratios are medians of
each round's Python time over its Octave time. KNN gets three runs, SVC one.
"""

import os
import subprocess
import sys
import tempfile
import time

import numpy as np
from sklearn.neighbors import KNeighborsClassifier
from sklearn.svm import SVC

import vorla
from vorla import engine

ROWS = int(sys.argv[1]) if len(sys.argv) > 1 else 100000
ROUNDS = int(sys.argv[2]) if len(sys.argv) > 2 else 5
BUILD = os.environ.get("VORLA_BUILD", os.path.join(os.path.dirname(__file__), "..", "build"))
M = 4
RNG = np.random.default_rng(1)


def sphere(n):
    # Uniform points of the unit cube in M features, inside or outside a sphere.
    X = RNG.random((n, M))
    return np.asfortranarray(X), 1.0 + (np.sum((X - 0.5) ** 2, axis=1) > 0.3)


def timed(run):
    start = time.perf_counter()
    out = run()
    return time.perf_counter() - start, out


X, y = sphere(ROWS)
Xt, yt = sphere(ROWS)
args = (M, 0.0, 0.001, 1, 1000, 0, 0, 0)
published = dict(vigilance=0, voters=1, match_tracking="strict", scale="auto")


class Octave:
    """One octave-cli process that times the MEX calls on the same data, on request."""

    def __init__(self, folder):
        data = os.path.join(folder, "data.bin")
        np.hstack([X, y[:, None], Xt]).T.astype("<f8").tofile(data)  # column by column, as Octave reads it
        self.process = subprocess.Popen(["octave-cli", "--no-gui", "--norc", "--quiet"], stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, text=True, bufsize=1)
        self.ask(f"""addpath ('{BUILD}');
          fid = fopen ('{data}', 'r'); D = fread (fid, [{ROWS}, {2 * M + 1}], 'double'); fclose (fid);
          X = D(:,1:{M}); y = D(:,{M + 1}); Xt = D(:,{M + 2}:end); clear D; printf ('ready\\n');""")

    def ask(self, command):
        self.process.stdin.write(command.replace("\n", " ") + " fflush (stdout);\n")
        self.process.stdin.flush()
        line = self.process.stdout.readline()
        if not line:
            sys.exit("the Octave run failed")
        return line

    def round(self):
        line = self.ask(f"""t = tic; [T, L, n] = vorla_fit (X, y, {M}, 0, 0.001, 1, 1000, 0, 0, 0); f = toc (t);
          t = tic; p = vorla_eval (T, L, {M}, 0, 0.001, 0, Xt, 0, 0); e = toc (t); printf ('%.6f %.6f\\n', f, e);""")
        return [float(v) for v in line.split()]

    def close(self):
        self.process.stdin.close()
        self.process.wait()


times = {"mex": [], "engine": [], "estimator": []}
with tempfile.TemporaryDirectory() as folder:
    octave = Octave(folder)
    for _ in range(ROUNDS):
        times["mex"].append(octave.round())
        fit, (T, L, _) = timed(lambda: engine.vorla_fit(X, y, *args))
        predict, _ = timed(lambda: engine.vorla_eval(T, L, M, 0, 0.001, 0, Xt, 0, 0))
        times["engine"].append([fit, predict])
        fit, model = timed(lambda: vorla.FuzzyARTMAPClassifier(**published).fit(X, y))
        predict, _ = timed(lambda: model.predict(Xt))
        times["estimator"].append([fit, predict])
    octave.close()
times = {key: np.array(value) for key, value in times.items()}


def median(run, runs):
    return float(np.median([timed(run)[0] for _ in range(runs)]))


rows = [("MEX call in Octave (vorla_fit, vorla_eval)", *np.median(times["mex"], axis=0)),
        ("engine through Python (vorla.engine)", *np.median(times["engine"], axis=0)),
        ("FuzzyARTMAPClassifier, published setting", *np.median(times["estimator"], axis=0))]
once = vorla.FuzzyARTMAPClassifier(**published, max_presentations=1).fit(X, y)
rows.append(("FuzzyARTMAPClassifier, published setting, max_presentations=1",
             median(lambda: vorla.FuzzyARTMAPClassifier(**published, max_presentations=1).fit(X, y), 3),
             median(lambda: once.predict(Xt), 3)))
knn = KNeighborsClassifier().fit(X, y)
rows.append(("KNeighborsClassifier()", median(lambda: KNeighborsClassifier().fit(X, y), 3),
             median(lambda: knn.predict(Xt), 3)))
svc_fit, svc = timed(lambda: SVC().fit(X, y))
rows.append(("SVC()", svc_fit, median(lambda: svc.predict(Xt), 1)))

print(f"{ROWS} rows of {M} features, 2 classes; seconds (median)\n")
print("| method | fit | predict | fit + predict |")
print("|---|---:|---:|---:|")
for name, fit, predict in rows:
    print(f"| {name} | {fit:.4f} | {predict:.4f} | {fit + predict:.4f} |")
for name in ("engine", "estimator"):
    ratio = times[name] / times["mex"]
    whole = times[name].sum(axis=1) / times["mex"].sum(axis=1)
    print(f"\n{name} / MEX over {ROUNDS} rounds: fit {np.median(ratio[:, 0]):.3f} "
          f"(range {ratio[:, 0].min():.3f}-{ratio[:, 0].max():.3f}), predict {np.median(ratio[:, 1]):.3f} "
          f"(range {ratio[:, 1].min():.3f}-{ratio[:, 1].max():.3f}), fit + predict {np.median(whole):.3f}")
print(f"\naccuracy on the new rows: vorla {np.mean(model.predict(Xt) == yt):.4f} "
      f"(one presentation {np.mean(once.predict(Xt) == yt):.4f}), KNN {np.mean(knn.predict(Xt) == yt):.4f}, "
      f"SVC {np.mean(svc.predict(Xt) == yt):.4f}")
