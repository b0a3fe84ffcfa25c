"""The estimator's options in their working form, checked as the Octave layer checks them,
and the warnings of training and prediction."""

import math
import numbers
import warnings

import numpy as np

from . import _layer


class VorlaWarning(UserWarning):
    """A warning of vorla's model layer; its subclasses name the case."""


class ConflictWarning(VorlaWarning):
    """Identical patterns carry different labels."""


class CapWarning(VorlaWarning):
    """A network stopped at the safety cap without converging."""


class ClippedWarning(VorlaWarning):
    """A feature lies far beyond the scaling range (most likely other units)."""


class UnscaledWarning(VorlaWarning):
    """With scale='none', values outside [0, 1] and a D smaller than the data's extent."""


class OneClassWarning(VorlaWarning):
    """Every training pattern carries the same class."""


class MissingWarning(VorlaWarning):
    """Patterns with every feature missing: left out of training, unknown_label in prediction."""


class CategoryWarning(VorlaWarning):
    """Categories that training never saw, taken as missing values."""


WHO = "FuzzyARTMAPClassifier"

# Octave option name -> parameter name.
PARAMETERS = {"Vigilance": "vigilance", "Alpha": "alpha", "LearningRate": "learning_rate",
              "MaxPresentations": "max_presentations", "Trim": "trim", "ChoiceTest": "choice_test",
              "Scale": "scale", "D": "D", "Voters": "voters", "Seed": "random_state", "Trace": "trace",
              "MatchTracking": "match_tracking", "Display": "display", "MissingValues": "missing_values"}
DEFAULTS = {"Vigilance": 0.0, "Alpha": 0.001, "LearningRate": 1.0, "MaxPresentations": math.inf,
            "ChoiceTest": False, "Voters": 10, "MatchTracking": "tolerant"}


def describe(value):
    if isinstance(value, str):
        return "'%s'" % value
    if isinstance(value, np.ndarray):
        return "a %s array of shape %s" % (value.dtype, value.shape)
    return repr(value)


def _fail(name, expected, value):
    raise ValueError("%s: %s must be %s; %s given" % (WHO, PARAMETERS.get(name, name), expected, describe(value)))


def _real(value):
    return (isinstance(value, (numbers.Real, np.bool_)) and not isinstance(value, complex)
            and not (isinstance(value, float) and math.isnan(value)))


def check_option(name, value, features):
    """One option's value in its working form (D resolved to features when None)."""
    if name == "Vigilance":
        if not (_real(value) and 0 <= value <= 1):
            _fail(name, "a number in [0, 1]", value)
        return float(value)
    if name == "Alpha":
        if not (_real(value) and value >= 0 and math.isfinite(value)):
            _fail(name, "a finite number >= 0", value)
        return float(value)
    if name == "LearningRate":
        if not (_real(value) and 0 < value <= 1):
            _fail(name, "a number in (0, 1]", value)
        return float(value)
    if name == "MaxPresentations":
        if not (_real(value) and value >= 1 and (math.isinf(value) or (value == int(value) and value <= 2**31 - 1))):
            _fail(name, 'a whole number in [1, 2^31 - 1], or inf for "until convergence"', value)
        return float(value)
    if name in ("Trim", "ChoiceTest"):
        if not (_real(value) and value in (0, 1)):
            _fail(name, "True or False (or 1 or 0)", value)
        return bool(value)
    if name == "MatchTracking":
        return _choice(name, value, ("strict", "tolerant"))
    if name == "Display":
        return _choice(name, value, ("off", "iter", "final"))
    if name == "MissingValues":
        return _choice(name, value, ("inside", "impute", "error"))
    if name == "Scale":
        if isinstance(value, str):
            return _choice(name, value, ("auto", "none", "robust"),
                           "'auto', 'none', 'robust' or a 2 x %d range" % features)
        given = np.asarray(value) if not isinstance(value, np.ndarray) else value
        if not (given.dtype.kind in "biuf" and given.shape == (2, features) and np.all(np.isfinite(given))
                and np.all(given[0] <= given[1])):
            _fail(name, "'auto', 'none', 'robust' or a 2 x %d range [smallest; largest] of finite values"
                  % features, value)
        return np.array(given, dtype=np.float64)
    if name == "D":
        if value is None:
            return float(features)
        if not (_real(value) and value > 0 and math.isfinite(value)):
            _fail(name, "a finite number > 0 (or None for the number of features)", value)
        return float(value)
    if name == "Voters":
        if not (_real(value) and 1 <= value <= 10000 and value == int(value)):
            _fail(name, "a whole number in [1, 10000]", value)
        return int(value)
    if name == "Trace":
        if not (_real(value) and value in (0, 1, 2, 3, 4)):
            _fail(name, "one of 0, 1, 2, 3, 4", value)
        return int(value)
    if name == "KFold":
        if not (_real(value) and value >= 2 and math.isfinite(value) and value == int(value)):
            _fail(name, "a whole number >= 2", value)
        return int(value)
    raise AssertionError("no rule for " + name)


def _choice(name, value, choices, expected=None):
    if isinstance(value, str):
        for choice in choices:
            if value.lower() == choice:
                return choice
    _fail(name, expected or ", ".join("'%s'" % c for c in choices[:-1]) + " or '%s'" % choices[-1], value)


def worker_count(n_jobs):
    """n_jobs as a number of workers, as joblib counts them: None is 1, -1 every core this
    process may use, -2 all but one, and so on (at least 1)."""
    if n_jobs is None:
        return 1
    if isinstance(n_jobs, numbers.Integral) and not isinstance(n_jobs, (bool, np.bool_)) and n_jobs != 0:
        if n_jobs > 0:
            return int(n_jobs)
        from joblib import cpu_count
        return max(1, cpu_count() + 1 + int(n_jobs))
    raise ValueError("%s: n_jobs must be None or a whole number other than 0 (-1: every core); %s given"
                     % (WHO, describe(n_jobs)))


def thread_count(threads):
    """threads as the engine's input: None is 0 (every usable core), else a whole number
    from 1 (the calling thread alone) to the engine's bound."""
    if threads is None:
        return 0
    if not isinstance(threads, numbers.Integral) or isinstance(threads, (bool, np.bool_)):
        raise TypeError("%s: threads must be None (every usable core) or a whole number >= 1; %s given"
                        % (WHO, describe(threads)))
    if not 1 <= threads <= 2**31 - 1:
        raise ValueError("%s: threads must be None (every usable core) or a whole number from 1 to 2^31 - 1; "
                         "%s given" % (WHO, describe(threads)))
    return int(threads)


def check_seed(value):
    """random_state as the layer's seed: None is 0, an int in [0, 2^32), or a NumPy
    generator from which one such seed is drawn."""
    if value is None:
        return 0
    if isinstance(value, np.random.RandomState):
        return int(value.randint(0, 2**32, dtype=np.uint64))
    if isinstance(value, np.random.Generator):
        return int(value.integers(0, 2**32))
    if _real(value) and not isinstance(value, (bool, np.bool_)) and 0 <= value < 2**32 and value == int(value):
        return int(value)
    raise ValueError("%s: random_state must be None, a whole number in [0, 2^32) or a NumPy random generator; "
                     "%s given" % (WHO, describe(value)))


def _canonical(name):
    key = str(name).replace("_", "").lower()
    for option in _layer.SEARCHABLE:
        if option.lower() == key:
            return option
    return None


def check_search(which, how, given, opts, N):
    """The search of a fit in its working form (see the Octave layer's check_search)."""
    if isinstance(which, str) and which.lower() in ("none", "auto", "all"):
        names = {"none": [], "auto": ["Vigilance"],
                 "all": ["Vigilance", "Voters", "MatchTracking", "MaxPresentations"]}[which.lower()]
    elif isinstance(which, (list, tuple)) and which and all(isinstance(n, str) for n in which):
        names = []
        for n in which:
            option = _canonical(n)
            if option is None:
                raise ValueError("%s: optimize_hyperparameters names an option that cannot be searched: %s "
                                 "(searchable: %s)" % (WHO, n, " ".join(PARAMETERS[o] for o in _layer.SEARCHABLE)))
            if option not in names:
                names.append(option)
    else:
        raise ValueError("%s: optimize_hyperparameters must be 'none', 'auto', 'all' or a list of option names; "
                         "%s given" % (WHO, describe(which)))
    search = {"Names": [n for n in names if n not in given]}
    how = {} if how is None else how
    if not isinstance(how, dict):
        raise ValueError("%s: hyperparameter_optimization_options must be a dict; %s given" % (WHO, describe(how)))
    fields = {"kfold": "KFold", "cv": "CVPartition", "cvpartition": "CVPartition", "searchspace": "SearchSpace",
              "maxevaluations": "MaxObjectiveEvaluations", "maxobjectiveevaluations": "MaxObjectiveEvaluations",
              "display": "Display", "seed": "Seed"}
    options = {}
    for key, value in how.items():
        field = fields.get(str(key).replace("_", "").lower())
        if field is None:
            raise ValueError("%s: hyperparameter_optimization_options has no key %s (keys: kfold cv search_space "
                             "max_evaluations display seed)" % (WHO, key))
        options[field] = value
    search["KFold"] = min(5, N)
    search["Folds"] = None
    if "KFold" in options:
        search["KFold"] = check_option("KFold", options["KFold"], opts["D"])
        if search["KFold"] > N:
            raise ValueError("%s: the inner kfold must be at most the number of patterns, %d; %d given"
                             % (WHO, N, search["KFold"]))
    if "CVPartition" in options:
        search["Folds"] = fold_numbers(options["CVPartition"], N)
    elif search["KFold"] < 2:
        search["Names"] = []
    budget = options.get("MaxObjectiveEvaluations", math.inf)
    if not (_real(budget) and budget >= 1 and (math.isinf(budget) or budget == int(budget))):
        raise ValueError("%s: max_evaluations must be a whole number >= 1 or inf; %s given" % (WHO, describe(budget)))
    search["MaxEvaluations"] = budget
    search["Display"] = check_option("Display", options.get("Display", "off"), opts["D"])
    search["Seed"] = check_seed(options["Seed"]) if "Seed" in options else opts["Seed"]
    space = {key: list(values) for key, values in _layer.DEFAULT_SPACE.items()}
    for key, values in dict(options.get("SearchSpace", {})).items():
        option = _canonical(key)
        if option is None:
            raise ValueError("%s: search_space names an option that cannot be searched: %s" % (WHO, key))
        if isinstance(values, str) or not hasattr(values, "__len__"):
            values = [values]
        if len(values) == 0:
            raise ValueError("%s: search_space[%r] must hold at least one value" % (WHO, key))
        space[option] = [check_option(option, v, opts["D"]) for v in values]
    search["Space"] = space
    return search


def fold_numbers(given, N):
    folds = np.asarray(given)
    if not (folds.ndim == 1 and folds.size == N and folds.dtype.kind in "biuf" and np.all(np.isfinite(folds))
            and np.all(folds >= 0) and np.all(folds == np.fix(folds))):
        raise ValueError("%s: cv must be a vector of %d whole fold numbers >= 0; %s given" % (WHO, N, describe(given)))
    folds = folds.astype(np.float64)
    K = int(folds.max()) if N else 0
    used = np.unique(folds[folds > 0])
    if K == 0 or used.size != K:
        raise ValueError("%s: cv must hold out patterns in tests 1 to K, each test at least one pattern; tests %s "
                         "given" % (WHO, used.astype(int).tolist()))
    if np.all(folds > 0) and K == 1:
        raise ValueError("%s: cv holds every pattern out in one test, which leaves nothing to train on" % WHO)
    return folds


def conflict_warning(Xs, index, rule):
    """One warning when identical patterns carry different labels."""
    if Xs.shape[0] < 2 or Xs.shape[1] < 1:
        return
    # Only patterns that share their first feature with another can be twins: one sort
    # of a column finds them, where sorting whole rows costs ten times more.
    first = np.sort(Xs[:, 0])
    shared = np.unique(first[1:][np.diff(first) == 0])
    if shared.size == 0:
        return
    candidates = np.flatnonzero(np.isin(Xs[:, 0], shared))
    _, group = np.unique(np.asarray(Xs[candidates]), axis=0, return_inverse=True)
    group = group.ravel()
    pairs = np.unique(np.column_stack([group, index[candidates]]), axis=0)
    mixed = np.flatnonzero(np.bincount(pairs[:, 0].astype(np.int64)) > 1)
    if mixed.size == 0:
        return
    rows = candidates[np.isin(group, mixed)] + 1
    shown = ", ".join(str(r) for r in rows[:6]) + (", ..." if rows.size > 6 else "")
    if rule == "tolerant":
        advice = ("tolerant match tracking gives each label a node of its own (match_tracking='strict' adds nodes "
                  "for them in every presentation until the cap)")
    else:
        advice = ("strict match tracking adds nodes for them in every presentation and cannot converge: use "
                  "match_tracking='tolerant', or remove or relabel those rows")
    warnings.warn("%s: %d patterns in %d groups of identical patterns carry different labels (rows %s); %s"
                  % (WHO, rows.size, mixed.size, shown, advice), ConflictWarning, stacklevel=3)


def clip_warning(X, value_range, given=False, ignored=()):
    """A feature beyond the range by more than its width in over a tenth of the patterns;
    the ignored (categorical) features hold positions of categories, nothing to clip."""
    lo, hi = value_range
    width = hi - lo
    X = np.asarray(X, dtype=np.float64)
    if len(ignored):
        X = X.copy()
        X[:, ignored] = lo[ignored]
    # Beyond by more than the width on either side; the distances themselves only for the message.
    far = lo - X > width
    far |= X - hi > width
    share = far.sum(axis=0) / max(X.shape[0], 1)
    if share.size == 0 or share.max() <= 0.1:
        return
    feature = int(share.argmax())
    outside = np.maximum(lo - X, X - hi) > 0
    what = "the given scale range" if given else "the training range"
    question = "is the range in other units than X?" if given else "are they in other units than the training data?"
    warnings.warn("%s: %d of the %d values of feature %d of X lie beyond %s [%.6g, %.6g] by more than its width: "
                  "%s %d values in %d patterns were clipped to the range"
                  % (WHO, far[:, feature].sum(), X.shape[0], feature + 1, what, lo[feature], hi[feature], question,
                     outside.sum(), outside.any(axis=1).sum()), ClippedWarning, stacklevel=3)


def check_unscaled(X, D):
    X = np.asarray(X, dtype=np.float64)
    outside = (X < 0) | (X > 1)
    if not outside.any():
        return
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)  # a feature without values: NaN, left out
        extent = float(np.nansum(np.fmax(np.nanmax(X, axis=0), 1) - np.fmin(np.nanmin(X, axis=0), 0)))
    if extent <= D:
        return
    warnings.warn("%s: with scale='none', %d values in %d patterns of X lie outside [0, 1] and the data span %.6g "
                  "against D = %.6g, so their boxes fail the vigilance test; use scale='auto' (the training range), "
                  "scale the features into [0, 1], or give a D of at least %.6g"
                  % (WHO, outside.sum(), outside.any(axis=1).sum(), extent, D, extent), UnscaledWarning, stacklevel=3)
