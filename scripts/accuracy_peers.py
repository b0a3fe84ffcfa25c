#!/usr/bin/python3
"""The peer classifiers of scripts/accuracy_table.m, on the folds it deals.

    /usr/bin/python3 scripts/accuracy_peers.py [--quick] FOLDER NAME [NAME ...]

For each NAME, FOLDER holds NAME.X.csv (one pattern a row), NAME.y.csv (the
class numbers) and NAME.folds.csv (the fold number of each pattern). Each
method is trained on all folds but one and labels the one left out, for every
fold; FOLDER/peers.csv receives one row per set and method:

    set,method,accuracy,seconds,auc

accuracy is the share of all patterns labelled right out of fold, seconds the
fit plus predict of all folds (time.perf_counter), auc the area under the ROC
curve of the out-of-fold scores for class 2 on two-class sets (ties count
half), nan where the set has more classes or the method gives no score.

The methods: 1-NN and 5-NN and an RBF SVC with scikit-learn's defaults, each
on min-max scaled features; the same SVC with C and gamma chosen by a grid on
5 inner stratified folds (seed 0) of each training part ("SVC grid"); and a
random forest of 200 trees (seed 0). --quick leaves out the SVC grid, which
takes most of the time (minutes on the larger sets). On a set with missing
values (NaN) every method fills them with the medians of its training part.

One thread: the timings are meant to compare with a single-threaded caller.
"""

import os

# Before numpy is loaded, so that its thread pools are sized by it.
for variable in ('OMP_NUM_THREADS', 'OPENBLAS_NUM_THREADS', 'MKL_NUM_THREADS'):
    os.environ[variable] = '1'

import csv
import sys
import time

import numpy as np
from sklearn.ensemble import RandomForestClassifier
from sklearn.impute import SimpleImputer
from sklearn.metrics import roc_auc_score
from sklearn.model_selection import GridSearchCV, StratifiedKFold
from sklearn.neighbors import KNeighborsClassifier
from sklearn.pipeline import make_pipeline
from sklearn.preprocessing import MinMaxScaler
from sklearn.svm import SVC


def scaled(estimator):
    return make_pipeline(MinMaxScaler(), estimator)


def filled(make):
    """The method with each training part's medians in place of missing values."""
    return lambda: make_pipeline(SimpleImputer(strategy='median'), make())


def svc_grid():
    grid = {'svc__C': [0.1, 1, 10, 100], 'svc__gamma': ['scale', 0.01, 0.1, 1]}
    inner = StratifiedKFold(5, shuffle=True, random_state=0)
    return GridSearchCV(scaled(SVC()), grid, cv=inner)


# name, maker, how the score for class 2 is read (None: no AUC).
METHODS = [
    ('1-NN', lambda: scaled(KNeighborsClassifier(1)), None),
    ('5-NN', lambda: scaled(KNeighborsClassifier(5)), None),
    ('SVC', lambda: scaled(SVC()), 'decision_function'),
    ('SVC grid', svc_grid, 'decision_function'),
    ('forest', lambda: RandomForestClassifier(200, random_state=0), 'predict_proba'),
]


def read_set(folder, name):
    def column(part):
        return np.loadtxt(os.path.join(folder, f'{name}.{part}.csv'), delimiter=',', ndmin=1)
    X = np.loadtxt(os.path.join(folder, f'{name}.X.csv'), delimiter=',', ndmin=2)
    y = column('y').astype(int)
    folds = column('folds').astype(int)
    if not (X.shape[0] == y.size == folds.size):
        raise SystemExit(f'accuracy_peers: {name}: {X.shape[0]} rows of X, {y.size} labels, {folds.size} folds')
    return X, y, folds


def class_two_score(estimator, how, X):
    if how == 'decision_function':
        # Positive for the second of the two classes, i.e. class 2.
        return estimator.decision_function(X)
    return estimator.predict_proba(X)[:, 1]


def run(make, how, X, y, folds):
    """Out-of-fold accuracy, seconds of fit plus predict, and AUC."""
    right = 0
    seconds = 0.0
    two_class = np.unique(y).size == 2
    score = np.zeros(y.size)
    for k in np.unique(folds):
        train, test = folds != k, folds == k
        estimator = make()
        started = time.perf_counter()
        estimator.fit(X[train], y[train])
        predicted = estimator.predict(X[test])
        seconds += time.perf_counter() - started
        right += int(np.sum(predicted == y[test]))
        if two_class and how is not None:
            score[test] = class_two_score(estimator, how, X[test])
    auc = float('nan')
    if two_class and how is not None:
        auc = roc_auc_score(y == 2, score)
    return right / y.size, seconds, auc


def main(argv):
    quick = '--quick' in argv
    rest = [a for a in argv if a != '--quick']
    if len(rest) < 2:
        raise SystemExit(__doc__)
    folder, names = rest[0], rest[1:]
    methods = [m for m in METHODS if not (quick and m[0] == 'SVC grid')]
    with open(os.path.join(folder, 'peers.csv'), 'w', newline='') as out:
        table = csv.writer(out)
        table.writerow(['set', 'method', 'accuracy', 'seconds', 'auc'])
        for name in names:
            X, y, folds = read_set(folder, name)
            gaps = bool(np.isnan(X).any())
            for method, make, how in methods:
                if gaps:
                    make = filled(make)
                accuracy, seconds, auc = run(make, how, X, y, folds)
                table.writerow([name, method, repr(accuracy), repr(seconds), repr(auc)])
                out.flush()


if __name__ == '__main__':
    main(sys.argv[1:])
