"""Fit and predict on 10^5 rows: the engine through Python, the estimator, the MEX call in
Octave on the same data, and scikit-learn's KNeighborsClassifier and SVC, all on this
machine. Run from the repository with the build in build/:

    PYTHONPATH=build/python /usr/bin/python3 bench/python_timing.py [rows]

Every figure is the median of three runs (SVC: one), in seconds: training, then
classifying the same number of new rows.
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
BUILD = os.environ.get("VORLA_BUILD", os.path.join(os.path.dirname(__file__), "..", "build"))


M = 4
RNG = np.random.default_rng(1)


def sphere(n):
    # Uniform points of the unit cube in M features, inside or outside a sphere.
    X = RNG.random((n, M))
    return np.asfortranarray(X), 1.0 + (np.sum((X - 0.5) ** 2, axis=1) > 0.3)


def median(run, times=3):
    spans = []
    for _ in range(times):
        start = time.perf_counter()
        run()
        spans.append(time.perf_counter() - start)
    return float(np.median(spans))


X, y = sphere(ROWS)
Xt, yt = sphere(ROWS)
args = (M, 0.0, 0.001, 1, 1000, 0, 0, 0)
T, L, _ = engine.vorla_fit(X, y, *args)
rows = []
rows.append(("engine through Python (vorla.engine)", median(lambda: engine.vorla_fit(X, y, *args)),
             median(lambda: engine.vorla_eval(T, L, M, 0, 0.001, 0, Xt, 0, 0))))
published = dict(vigilance=0, voters=1, match_tracking="strict", scale="auto")
model = vorla.FuzzyARTMAPClassifier(**published).fit(X, y)
rows.append(("FuzzyARTMAPClassifier, published setting",
             median(lambda: vorla.FuzzyARTMAPClassifier(**published).fit(X, y)), median(lambda: model.predict(Xt))))

with tempfile.TemporaryDirectory() as folder:
    data = os.path.join(folder, "data.bin")
    np.hstack([X, y[:, None], Xt]).T.astype("<f8").tofile(data)  # column by column, as Octave reads it
    script = f"""
      fid = fopen ('{data}', 'r'); D = fread (fid, [{ROWS}, {2 * M + 1}], 'double'); fclose (fid);
      X = D(:,1:{M}); y = D(:,{M + 1}); Xt = D(:,{M + 2}:end);
      for k = 1:3, t = tic; [T, L, n] = vorla_fit (X, y, {M}, 0, 0.001, 1, 1000, 0, 0, 0); f(k) = toc (t); end
      for k = 1:3, t = tic; p = vorla_eval (T, L, {M}, 0, 0.001, 0, Xt, 0, 0); e(k) = toc (t); end
      printf ('%.6f %.6f\\n', median (f), median (e));
    """
    out = subprocess.run(["octave-cli", "--no-gui", "--norc", "--quiet", "--eval", f"addpath ('{BUILD}'); {script}"],
                         capture_output=True, text=True)
    fields = out.stdout.split()
    if len(fields) < 2:
        sys.exit("the Octave run failed: " + out.stderr)
    else:
        rows.insert(0, ("MEX call in Octave (vorla_fit, vorla_eval)", float(fields[0]), float(fields[1])))

knn = KNeighborsClassifier().fit(X, y)
rows.append(("KNeighborsClassifier()", median(lambda: KNeighborsClassifier().fit(X, y)),
             median(lambda: knn.predict(Xt))))
svc = SVC()
start = time.perf_counter()
svc.fit(X, y)
svc_fit = time.perf_counter() - start
rows.append(("SVC()", svc_fit, median(lambda: svc.predict(Xt), times=1)))

print(f"{ROWS} rows of {M} features, 2 classes; seconds (median)\n")
print("| method | fit | predict | fit + predict |")
print("|---|---:|---:|---:|")
for name, fit, predict in rows:
    print(f"| {name} | {fit:.4f} | {predict:.4f} | {fit + predict:.4f} |")
print(f"\naccuracy on the new rows: vorla {np.mean(model.predict(Xt) == yt):.4f}, "
      f"KNN {np.mean(knn.predict(Xt) == yt):.4f}, SVC {np.mean(svc.predict(Xt) == yt):.4f}")
