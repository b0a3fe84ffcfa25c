"""vorla.FuzzyARTMAPClassifier: the model layer of vorla_train and vorla_predict as a
scikit-learn estimator, calling the same engine entry points in the same way."""

import math
import numbers
import sys
import warnings

import numpy as np
from sklearn.base import BaseEstimator, ClassifierMixin
from sklearn.utils.multiclass import check_classification_targets
from sklearn.utils.validation import check_is_fitted

from . import _checks, _coding, _layer, engine
from ._checks import WHO


class FuzzyARTMAPClassifier(ClassifierMixin, BaseEstimator):
    """Fuzzy ARTMAP in geometric form: every category is a labelled axis-parallel box.

    The defaults are those of ``vorla_train``: features scaled into [0, 1] by their
    robust training range, the vigilance chosen on 5 inner stratified folds of the
    training data, ten networks trained with fast learning and tolerant match tracking
    until a list presentation changes nothing, and a vote of the ten in prediction. The
    same data, options and ``random_state`` give the Octave layer's model bit for bit.

    An option left at ``None`` takes the layer's default and may be searched; an option
    given a value keeps it and is never searched.

    Parameters
    ----------
    vigilance : float in [0, 1] or None
        Baseline vigilance; a box may grow to ``(1 - vigilance) * D``. None: searched
        (``optimize_hyperparameters='auto'``), else 0.
    alpha : float >= 0 or None
        Choice parameter; None is 0.001.
    learning_rate : float in (0, 1] or None
        1 (None) is fast learning.
    max_presentations : int or inf or None
        The most list presentations; inf (None) trains until convergence with a safety
        cap of 1000 presentations (``CapWarning`` when a network stops there).
    trim : bool
        Leave out the nodes that no pattern selected in the last presentation of a
        converged run.
    choice_test : bool or None
        A node must be chosen at least as strongly as an uncommitted node; None is False.
    scale : {'robust', 'auto', 'none'} or array of shape (2, n_features)
        'robust': the training range, except that a feature squashed by far values gets
        the span within its outer fences (values beyond are clipped); 'auto': the whole
        training range; 'none': X as given; an array: that range [smallest; largest].
    D : float > 0 or None
        Size of the input space; None is the number of features.
    voters : int in [1, 10000] or None
        Networks that vote; network 1 learns the patterns in the given order, the others
        in orders drawn from ``random_state``. None: 10.
    random_state : int in [0, 2**32), numpy random generator or None
        Seed of the voters' orders and of the inner folds; None is 0 (the Octave layer's
        default), so that fitting twice gives the same model.
    match_tracking : {'tolerant', 'strict'} or None
        'strict' is the rule of the 1992 paper (``vorla_fit``); 'tolerant' (None) lets
        only the wrong winner leave the search, so that twins with different labels
        converge.
    display : {'off', 'iter', 'final'}
        Progress on ``sys.stdout``: a line per list presentation or per network.
    trace : int in 0..4
        The engine's trace (``oflag``), on ``sys.stdout``.
    optimize_hyperparameters : {'auto', 'all', 'none'} or list of str
        Options chosen on inner folds: 'auto' the vigilance, 'all' vigilance, voters,
        match_tracking and max_presentations, or a list of names (also choice_test,
        alpha, learning_rate). Options given a value are not searched.
    hyperparameter_optimization_options : dict or None
        Keys: ``kfold`` (5), ``cv`` (fold numbers 1..K per pattern, 0 never held out),
        ``search_space`` (dict of option values), ``max_evaluations``, ``display``,
        ``seed`` (default: the model's seed).
    n_jobs : int or None
        Worker processes (joblib) that train the networks of a fit, and of its search,
        side by side; the model is the same bit for bit. None or 1: this process; -1
        every core, -2 all but one. What the networks print
        (``display``, ``trace``) comes when all are done, in the order of a serial run.
    unknown_label : object or None
        The label ``predict`` gives a pattern that no network classifies (possible only
        with ``choice_test``, ``scale='none'`` or every feature missing); None gives the
        most frequent training class.
    missing_values : {'inside', 'impute', 'error'}
        What NaN in X means, a missing feature. 'inside' (default): the engine's rule,
        where a box holds NaN in every feature and grows in no missing one; a pattern
        with every feature missing is left out of training and gets ``unknown_label``
        in prediction (``MissingWarning`` both times). 'impute': each NaN is filled with
        the training median of its feature (``impute_``), in training and prediction.
        'error': NaN is refused. Inf is refused always.
    categorical_features : None, 'all', array of int, bool or str
        The features whose values name categories, not quantities: 0-based indices, a
        boolean mask, column names of X, or 'all'. A categorical feature of L
        categories (those seen in training, sorted; numbers or texts) becomes L
        indicator columns at 1 / L (one column at 0 and 1 for L = 2), so that a box
        holds a set of categories and spans 1 when it holds them all. A category that
        training never saw is a missing value (``CategoryWarning``), as is None, NaN
        or '' in such a feature; with 'impute' a missing category takes the most
        frequent training one. None: every feature is numeric.
    threads : int >= 1 or None
        Threads of this process that share the engine's work: in ``fit`` and
        ``partial_fit`` the voters, trained at once in one engine call (unless
        ``display='iter'``, or ``display='final'`` with a trace, needs their lines as they
        come), and in the search the networks of a setting on an inner fold; in
        ``predict``, ``predict_proba`` and ``decision_function`` the patterns of each
        network's search. None: every usable core (in prediction while other processes
        leave two or more idle); 1: the calling thread alone. The model and the results
        are the same bits for any number. With ``n_jobs`` > 1 the voters go to the worker
        processes instead, one network each, while each worker's part of the search still
        uses ``threads``: give ``threads=1`` there to keep to ``n_jobs`` threads in all.

    Attributes
    ----------
    classes_ : ndarray of shape (n_classes,)
        The class labels, sorted (classes that later ``partial_fit`` calls bring follow).
    n_features_in_ : int
    feature_names_in_ : ndarray of str
        Only when X has feature names.
    templates_ : list of ndarray of shape (K_v, 2 * n_features)
        Each network's boxes, rows ``[lower upper]`` in the scaled units.
    nlabels_ : list of ndarray of shape (K_v,)
        Each node's class number, 1-based into ``classes_``.
    box_classes_ : list of ndarray of shape (K_v,)
        Each node's class label.
    range_ : ndarray of shape (2, n_features) or None
        The scaling range (None with ``scale='none'``).
    presentations_, converged_ : ndarray of shape (n_networks,)
        List presentations of each network in the last call, and whether it converged.
    settings_ : dict
        The options the model was trained with (chosen ones included), Octave names.
    history_ : list of dict
        One entry per call that trained the model.
    search_results_ : dict
        Only when a search ran: Optimized, KFold, Seed, Best, BestAccuracy, Trials.
    impute_ : ndarray of shape (n_features,) or None
        The fill values of ``missing_values='impute'`` (None otherwise); for a
        categorical feature the 1-based position of its most frequent category.
    categorical_features_ : ndarray of int
        The 0-based indices of the categorical features (empty for none).
    categories_ : list of ndarray
        The sorted categories of each of them (floats, or objects holding str).
    """

    def __init__(self, vigilance=None, alpha=None, learning_rate=None, max_presentations=None, trim=False,
                 choice_test=None, scale="robust", D=None, voters=None, random_state=None, match_tracking=None,
                 display="off", trace=0, optimize_hyperparameters="auto", hyperparameter_optimization_options=None,
                 n_jobs=None, unknown_label=None, missing_values="inside", categorical_features=None, threads=None):
        self.vigilance = vigilance
        self.alpha = alpha
        self.learning_rate = learning_rate
        self.max_presentations = max_presentations
        self.trim = trim
        self.choice_test = choice_test
        self.scale = scale
        self.D = D
        self.voters = voters
        self.random_state = random_state
        self.match_tracking = match_tracking
        self.display = display
        self.trace = trace
        self.optimize_hyperparameters = optimize_hyperparameters
        self.hyperparameter_optimization_options = hyperparameter_optimization_options
        self.n_jobs = n_jobs
        self.unknown_label = unknown_label
        self.missing_values = missing_values
        self.categorical_features = categorical_features
        self.threads = threads

    # -- options ---------------------------------------------------------------------

    def _options(self, features):
        """The options in Octave names and working form, and the names given a value."""
        _checks.worker_count(self.n_jobs)  # refused before any work
        _checks.thread_count(self.threads)
        given = []
        opts = {}
        for option, parameter in _checks.PARAMETERS.items():
            value = getattr(self, parameter)
            if option == "Seed":
                opts[option] = _checks.check_seed(value)
                continue
            if option in _checks.DEFAULTS:
                if value is None:
                    value = _checks.DEFAULTS[option]
                else:
                    given.append(option)
            opts[option] = _checks.check_option(option, value, features)
        return opts, given

    # -- training --------------------------------------------------------------------

    def fit(self, X, y):
        """Train the model on X and y (searching the options left at None).

        Parameters
        ----------
        X : array-like of shape (n_samples, n_features)
            Real numeric or boolean values without inf; NaN as ``missing_values`` says.
        y : array-like of shape (n_samples,)
            One class per pattern, of any kind NumPy sorts.

        Returns
        -------
        self
        """
        X, y = self._validate_data(_objects(X, self.categorical_features), y, **self._data_checks(fitted=False))
        check_classification_targets(y)
        opts, given = self._options(X.shape[1])
        X = self._learn_coding(X, opts)
        self.classes_, inverse = np.unique(y, return_inverse=True)
        index = inverse.ravel().astype(np.float64) + 1
        X, index, self.impute_ = _prepare_missing(X, index, opts["MissingValues"], None, self._coding)
        search = _checks.check_search(self.optimize_hyperparameters, self.hyperparameter_optimization_options,
                                      given, opts, index.size)
        self._train_first(X, index, opts, search)
        return self

    def _data_checks(self, fitted=True):
        """The options of scikit-learn's data checks. Categorical features may hold texts,
        so X then keeps its kind and the coding checks its values."""
        if self._categorical(fitted):
            return dict(dtype=None, force_all_finite=False)
        return dict(dtype="numeric", force_all_finite=self._finite(fitted=fitted))

    def _categorical(self, fitted):
        if fitted:
            return getattr(self, "categorical_features_", np.zeros(0)).size > 0
        return self.categorical_features is not None

    @property
    def _coding(self):
        """The categorical features and their categories, None for none (also in a model
        made before features could be categorical)."""
        features = getattr(self, "categorical_features_", None)
        if features is None or features.size == 0:
            return None
        return {"features": features.tolist(), "categories": self.categories_}

    @property
    def _ignored(self):
        return _layer.categorical_features(self._coding)

    def _learn_coding(self, X, opts):
        """X with its categorical features as positions of their categories; learns them."""
        names = getattr(self, "feature_names_in_", None)
        features = _coding.check_categorical(self.categorical_features, X.shape[1],
                                             None if names is None else list(names))
        self.categories_ = []
        if features:
            X, self.categories_ = _coding.learn_coding(X, features, opts["MissingValues"])
        elif X.dtype.kind not in "biuf":
            X = _coding.learn_coding(X, [], opts["MissingValues"])[0]
        self.categorical_features_ = np.array(features, dtype=np.int64)
        return X

    def _train_first(self, X, index, opts, search):
        if self.classes_.size == 1:
            warnings.warn("%s: every pattern carries the one class %r; the model gives it to every pattern it "
                          "classifies" % (WHO, self.classes_[0]), _checks.OneClassWarning, stacklevel=3)
        Xs, value_range, kind = _layer.apply_scale(X, opts["Scale"], self._coding)
        if kind == "none":
            _checks.check_unscaled(Xs, opts["D"])
        elif kind == "range":
            _checks.clip_warning(X, value_range, given=True, ignored=self._ignored)
        _checks.conflict_warning(Xs, index, opts["MatchTracking"])
        self.search_results_ = None
        if search["Names"]:
            opts, self.search_results_ = _layer.search_settings(X, index, dict(opts, Coding=self._coding), search,
                                                                run=self._runner(),
                                                                threads=_checks.thread_count(self.threads))
        if self.search_results_ is None:
            del self.search_results_
        nets = self._networks(Xs, index, opts, opts["Seed"], None)
        self.range_ = value_range
        self.scale_ = kind
        self.class_counts_ = np.bincount(index.astype(np.int64) - 1, minlength=self.classes_.size)
        self.history_ = []
        self._record(nets, opts, index.size, opts["Seed"])

    def _networks(self, Xs, index, opts, seed, start):
        """The networks of a call: network 1 in the given order, network v > 1 in the
        (v-1)th order drawn from seed; start holds each network's nodes to go on from."""
        N = Xs.shape[0]
        V = opts["Voters"]
        orders = [None] + _layer.seeded_permutations(seed, [N] * (V - 1))
        cap = _layer.SAFETY_CAP if math.isinf(opts["MaxPresentations"]) else opts["MaxPresentations"]
        args = (opts["D"], opts["Vigilance"], opts["Alpha"], opts["LearningRate"], cap, float(opts["Trim"]),
                float(opts["ChoiceTest"]), opts["Trace"])
        tolerant = opts["MatchTracking"] == "tolerant"
        Xs = np.asfortranarray(Xs) if Xs.dtype.kind == "f" else Xs
        tasks = []
        for v in range(V):
            heading = "vorla_train: network %d of %d" % (v + 1, V) if V > 1 and opts["Display"] == "iter" else ""
            tasks.append((Xs, index, orders[v], args, tolerant, opts["Display"],
                          None if start is None else start[v], "", heading))
        # One call for all, unless lines must come as they are made or interleave with the trace.
        batch = opts["Display"] == "off" or (opts["Display"] == "final" and opts["Trace"] == 0)
        threads = _checks.thread_count(self.threads)
        workers = _checks.worker_count(self.n_jobs)
        final = opts["Display"] == "final"

        def show(v, net, seconds):
            # Display 'final': each network's line as soon as it is in, after its trace.
            if final:
                name = "network %d of %d " % (v + 1, V) if V > 1 else ""
                print(_layer.final_line(name, net[2], cap, net[1].size, seconds))

        nets = []
        if V > 1 and threads != 1 and workers == 1 and batch:
            seconds = []
            nets = _layer.fit_batch(Xs, index, orders, args, tolerant, threads, start, seconds)
            for v, net in enumerate(nets):
                show(v, net, seconds[v])
        elif workers > 1 and V > 1:
            # Each worker's lines come back with its network and are printed in the
            # networks' order, as a serial run prints them (once all are done).
            for v, (T, L, n, text, seconds) in enumerate(self._runner()(_layer.fit_network_printed, tasks)):
                if text:
                    sys.stdout.write(text)
                nets.append((T, L, n))
                show(v, nets[-1], seconds)
        else:
            for v, task in enumerate(tasks):
                T, L, n, seconds = _layer.fit_network_timed(*task)
                nets.append((T, L, n))
                show(v, nets[-1], seconds)
        return nets

    def _runner(self):
        """run(function, tasks): in n_jobs worker processes, or here for one."""
        jobs = _checks.worker_count(self.n_jobs)
        if jobs == 1:
            return _layer.serial
        from joblib import Parallel, delayed
        return lambda function, tasks: Parallel(n_jobs=jobs)(delayed(function)(*task) for task in tasks)

    def _record(self, nets, opts, N, seed):
        cap = _layer.SAFETY_CAP if math.isinf(opts["MaxPresentations"]) else opts["MaxPresentations"]
        self.templates_ = [T for T, _, _ in nets]
        self.nlabels_ = [L for _, L, _ in nets]
        self.box_classes_ = [self.classes_[L.astype(np.int64) - 1] for L in self.nlabels_]
        self.presentations_ = np.array([n for _, _, n in nets])
        self.converged_ = self.presentations_ < cap
        self.settings_ = {key: opts[key] for key in ("D", "Vigilance", "Alpha", "LearningRate", "Trim",
                                                      "ChoiceTest", "Voters", "Seed", "MatchTracking",
                                                      "MissingValues")}
        self.settings_["MaxPresentations"] = cap
        self.settings_["Scale"] = self.scale_
        self.history_.append(dict(Patterns=N, Classes=self.classes_.size, Nodes=[L.size for L in self.nlabels_],
                                  Presentations=self.presentations_.tolist(), Converged=self.converged_.tolist(),
                                  Seed=seed, **{k: self.settings_[k] for k in (
                                      "Vigilance", "Alpha", "LearningRate", "MaxPresentations", "Trim",
                                      "ChoiceTest", "MatchTracking")}))
        stopped = int((~self.converged_).sum())
        if stopped and math.isinf(opts["MaxPresentations"]):
            warnings.warn("%s: %d of %d networks stopped at the safety cap of %d list presentations without "
                          "converging; give max_presentations to choose the cap (then converged_ tells, with no "
                          "warning)" % (WHO, stopped, opts["Voters"], cap), _checks.CapWarning, stacklevel=3)

    def partial_fit(self, X, y, classes=None):
        """Continue training on new patterns only, from the model's nodes.

        The first call trains as ``fit`` does, but never searches (options left at None
        take their defaults). Later calls scale X by the model's range, keep the model's
        scale, D, voters, random_state and missing_values (another value is an error), and take
        vigilance, alpha, learning_rate, max_presentations, trim, choice_test and
        match_tracking as now set (None: the model's). Network v > 1 learns the patterns
        in an order drawn from ``(seed + calls * 2654435769) mod 2**32``, as
        ``vorla_train (model, X, labels)`` does.

        Parameters
        ----------
        X : array-like of shape (n_samples, n_features)
        y : array-like of shape (n_samples,)
        classes : array-like, optional
            Every class that any call will bring, on the first call; later labels must
            be among them. Without it, new classes follow the model's in sorted order.

        Returns
        -------
        self
        """
        first = not hasattr(self, "templates_")
        if not first and len(X) == 0 and len(y) == 0:
            return self  # no patterns: the model as it was
        X, y = self._validate_data(_objects(X, self.categorical_features), y, reset=first,
                                   **self._data_checks(fitted=not first))
        check_classification_targets(y)
        if first:
            known = np.unique(y) if classes is None else np.unique(np.asarray(classes))
            self._fixed_classes = classes is not None
            if classes is not None and not np.isin(y, known).all():
                raise ValueError("%s: y holds labels that are not in classes" % WHO)
            self.classes_ = known
            index = np.searchsorted(known, y).astype(np.float64) + 1
            opts, _ = self._options(X.shape[1])
            X = self._learn_coding(X, opts)
            X, index, self.impute_ = _prepare_missing(X, index, opts["MissingValues"], None, self._coding)
            search = {"Names": []}
            self._train_first(X, index, opts, search)
            return self
        opts = self._continued_options(X.shape[1])
        X = self._positions(X, opts["MissingValues"])
        index = self._continue_classes(y)
        X, index, _ = _prepare_missing(X, index, opts["MissingValues"], self.impute_, self._coding)
        if self.scale_ == "none":
            Xs = _layer.code_patterns(X, None, self._coding)
            _checks.check_unscaled(Xs, opts["D"])
        else:
            _checks.clip_warning(X, self.range_, ignored=self._ignored)
            Xs = _layer.code_patterns(X, self.range_, self._coding)
        _checks.conflict_warning(Xs, index, opts["MatchTracking"])
        seed = (opts["Seed"] + len(self.history_) * _layer.CONTINUE_STEP) % 2**32
        start = list(zip(self.templates_, self.nlabels_))
        nets = self._networks(Xs, index, opts, seed, start)
        self.class_counts_ = (np.pad(self.class_counts_, (0, self.classes_.size - self.class_counts_.size))
                              + np.bincount(index.astype(np.int64) - 1, minlength=self.classes_.size))
        self._record(nets, opts, index.size, seed)
        return self

    def _continue_classes(self, y):
        known = np.isin(y, self.classes_)
        if not known.all():
            if getattr(self, "_fixed_classes", False):
                raise ValueError("%s: y holds labels that are not in the classes of the first partial_fit call: %s"
                                 % (WHO, np.unique(np.asarray(y)[~known]).tolist()))
            self.classes_ = np.concatenate([self.classes_, np.unique(np.asarray(y)[~known])])
        lookup = {value: k + 1 for k, value in enumerate(self.classes_.tolist())}
        return np.array([lookup[value] for value in np.asarray(y).tolist()], dtype=np.float64)

    def _continued_options(self, features):
        opts, given = self._options(features)
        model = self.settings_
        for option in ("Scale", "D", "Voters", "Seed", "MissingValues"):
            value = model[option]
            now = opts[option]
            if option == "Scale":
                same = (now == value) if isinstance(now, str) else (value == "range"
                                                                     and np.array_equal(now, self.range_))
                if same:
                    now = value
            if option == "Seed" and not isinstance(self.random_state, numbers.Integral):
                now = value  # None or a generator: the model's seed goes on
            if option in ("D", "Voters") and getattr(self, _checks.PARAMETERS[option]) is None:
                now = value
            if isinstance(now, np.ndarray) or now != value:
                raise ValueError("%s: a continued model keeps its %s (%s); %s given"
                                 % (WHO, _checks.PARAMETERS[option], _checks.describe(value), _checks.describe(now)))
            opts[option] = value
        for option in ("Vigilance", "Alpha", "LearningRate", "MaxPresentations", "ChoiceTest", "MatchTracking"):
            if option not in given:
                opts[option] = model[option]
        if "MaxPresentations" not in given and opts["MaxPresentations"] == _layer.SAFETY_CAP:
            opts["MaxPresentations"] = math.inf
        if self.categorical_features is not None:
            names = getattr(self, "feature_names_in_", None)
            now = _coding.check_categorical(self.categorical_features, features, None if names is None else list(names))
            if now != self._ignored:
                raise ValueError("%s: a continued model keeps its categorical_features (%s); %s given"
                                 % (WHO, self._ignored, now))
        return opts

    def _positions(self, X, how, depth=0):
        """X for the model: its categorical features as positions in the model's lists
        (depth: the calls between the public method and this one, for the warning)."""
        if not self._categorical(fitted=True):
            return X
        coding = self._coding
        return _coding.category_positions(X, coding["features"], coding["categories"], how, stacklevel=4 + depth)

    # -- prediction ------------------------------------------------------------------

    def _finite(self, fitted=True):
        """force_all_finite of the data checks: NaN passes unless missing_values='error'
        (the model's once fitted)."""
        how = self.settings_["MissingValues"] if fitted else self.missing_values
        return True if how == "error" else "allow-nan"

    def _scaled(self, X, warn=True):
        """X as the networks see it, and which rows have every feature missing."""
        check_is_fitted(self, "templates_")
        X = self._validate_data(_objects(X, self._coding), reset=False, **self._data_checks())
        how = self.settings_["MissingValues"]
        X = self._positions(X, how, depth=2)
        gone = np.zeros(X.shape[0], dtype=bool)
        if how == "impute":
            X, _ = _layer.fill_missing(X, self.impute_)
        elif how == "inside" and X.shape[1] > 0:
            gone = np.isnan(X).all(axis=1)
            if gone.any() and warn:
                warnings.warn("%s: %d patterns have every feature missing and get unknown_label"
                              % (WHO, gone.sum()), _checks.MissingWarning, stacklevel=4)
        if self.scale_ == "none":
            Xs = _layer.code_patterns(X, None, self._coding)
            _checks.check_unscaled(Xs, self.settings_["D"])
            return Xs, gone
        _checks.clip_warning(X, self.range_, ignored=self._ignored)
        return _layer.code_patterns(X, self.range_, self._coding), gone

    def _classify(self, X, scores):
        threads = _checks.thread_count(getattr(self, "threads", None))  # a model pickled before it had threads
        Xs, gone = self._scaled(X)
        s = self.settings_
        args = (s["D"], 0.0, s["Alpha"], float(s["ChoiceTest"]))
        chosen, summed = _layer.classify(self.templates_, self.nlabels_, args, Xs, self.classes_.size, scores=scores,
                                         threads=threads)
        chosen[gone] = 0
        if scores:
            summed[gone] = 0
        return chosen, summed

    def predict(self, X):
        """The class with the most votes (of tied classes the first in ``classes_``).

        Returns
        -------
        ndarray of shape (n_samples,)
        """
        chosen, _ = self._classify(X, scores=False)
        if chosen.shape[1] == 1:
            return self._labels(chosen[:, 0].astype(np.int64))  # one network: its class, no vote to count
        index, _ = _layer.vote(chosen, self.classes_.size)
        return self._labels(index)

    def _labels(self, index):
        fallback = (self.unknown_label if self.unknown_label is not None
                    else self.classes_[int(np.argmax(self.class_counts_))])
        if (index > 0).all():
            return self.classes_[index - 1]
        labels = np.empty(index.shape, dtype=np.result_type(self.classes_, np.asarray(fallback)))
        labels[index > 0] = self.classes_[index[index > 0] - 1]
        labels[index == 0] = fallback
        return labels

    def predict_proba(self, X):
        """The share of the networks that give each class: for one network 1 for its class
        and 0 elsewhere. It is the probability that a network drawn at random from the
        model labels the pattern so, not a calibrated probability of the class; a row of
        zeros where no network classifies the pattern.

        Returns
        -------
        ndarray of shape (n_samples, n_classes)
        """
        chosen, _ = self._classify(X, scores=False)
        _, votes = _layer.vote(chosen, self.classes_.size)
        return votes[:, :self.classes_.size] / len(self.templates_)

    def decision_function(self, X):
        """The choice margins: per network, with b(c) the greatest choice value of the
        nodes of class c that accept the pattern, (1 + b(c) - max of b over the other
        classes) / 2, averaged over the networks. For two classes, the margin of
        ``classes_[1]`` less that of ``classes_[0]``.

        Returns
        -------
        ndarray of shape (n_samples, n_classes), or (n_samples,) for two classes
        """
        _, summed = self._classify(X, scores=True)
        margins = summed / len(self.templates_)
        if self.classes_.size == 2:
            return margins[:, 1] - margins[:, 0]
        return margins

    # -- reading the model -----------------------------------------------------------

    def rules(self, feature_names=None, X=None, digits=4, simplify=False, labels=None):
        """Every box as an if-then rule in the data's own units.

        A feature over whose whole training range the box reaches sets no condition, nor
        does one the box leaves open (made from a pattern missing it, and no value seen
        there since); a bound at the edge of the range is left out, and a box that
        reaches only the edge holds that value alone (``x = 0``). A categorical feature
        reads as the set of categories the box holds (``colour in {blue, red}``,
        ``colour = red``; nothing when it holds them all).

        Parameters
        ----------
        feature_names : list of str, optional
            Default: ``feature_names_in_`` when fitted on named columns, else x1..xM.
        X : array-like, optional
            Patterns in data units: each rule counts those inside its box (a missing
            value lies inside every box), and the rules of each network come
            most-holding first.
        digits : int
            Significant digits of the bounds; more decimals where the feature's values
            (those of X, or without X the boxes' corners) lie closer together.
        simplify : bool
            Keep only the conditions that separate each box from the patterns of X (the
            training data) that the network gives another class: a condition goes when
            the box without it takes in no such pattern beyond those the whole box holds
            (those that the fewest such patterns fail go first). The rules of each
            network then come smallest box first, as the smaller box wins where boxes
            overlap, and read as a list: the first rule a pattern fits gives its class.
            Needs X.
        labels : array-like, optional
            The labels of X, for the accuracy of the simplified rules.

        Returns
        -------
        list of dict
            Keys network, node (1-based row of templates_), class, lower, upper (data
            units; -inf and inf where the box is open, NaN for a categorical feature),
            categories (per feature, the categories the box holds; None for a numeric
            feature), count (None without X) and text.
        list of dict
            Only with simplify: per network, what its simplified rules score on X read as
            a list: network, conditions and kept (counted before and after), covered (the
            share of X that some rule fits), agreement (the share labelled as the network
            labels it) and accuracy (the share labelled as labels says; NaN without them).
        """
        check_is_fitted(self, "templates_")
        if not isinstance(simplify, (bool, np.bool_)):
            raise ValueError("%s: simplify must be True or False; %r given" % (WHO, simplify))
        if simplify and X is None:
            raise ValueError("%s: simplify needs the training patterns as X" % WHO)
        M = self.n_features_in_
        if feature_names is None:
            feature_names = (list(self.feature_names_in_) if hasattr(self, "feature_names_in_")
                             else ["x%d" % (i + 1) for i in range(M)])
        if len(feature_names) != M:
            raise ValueError("%s: feature_names must hold %d names; %d given" % (WHO, M, len(feature_names)))
        if not (isinstance(digits, int) and 1 <= digits <= 17):
            raise ValueError("%s: digits must be a whole number from 1 to 17; %r given" % (WHO, digits))
        unscaled = self.scale_ == "none"
        if unscaled:
            low, width = np.zeros(M), np.ones(M)
            bounded = np.ones(M, dtype=bool)
        else:
            low = self.range_[0]
            width = self.range_[1] - self.range_[0]
            # Scaled data lie in [0, 1], a constant feature at 0: bounds there constrain nothing.
            bounded = width > 0
        features = self._ignored
        bounded[features] = False
        first, span = _layer.coded_layout(self._coding, M)
        W = int(span.sum())
        numeric = np.setdiff1d(np.arange(M), features)
        if X is None:
            Xs = None
            # Without X the boxes' corners, which fast learning takes from training
            # patterns, show how finely each feature varies.
            corners = np.vstack([T[:, first] for T in self.templates_] + [T[:, W + first] for T in self.templates_])
            step = _finest_steps(low + corners * width, numeric)
        else:
            # As vorla_predict codes them, but missing values stay missing: inside every box.
            X = self._validate_data(_objects(X, self._coding), reset=False, **self._data_checks())
            X = self._positions(X, self.settings_["MissingValues"])
            step = _finest_steps(X, numeric)
            Xs = _layer.code_patterns(X, None if unscaled else self.range_, self._coding)
            complete = ~np.isnan(Xs).any(axis=1)
            truth = None
            if labels is not None:
                given_labels = np.asarray(labels, dtype=object).ravel()
                if given_labels.size != Xs.shape[0]:
                    raise ValueError("%s: labels must hold one label per row of X: %d given for %d rows"
                                     % (WHO, given_labels.size, Xs.shape[0]))
                # Class numbers as the model's nodes hold them; a label the model never saw matches none.
                number = {c: n + 1 for n, c in enumerate(self.classes_.tolist())}
                truth = np.array([number.get(label, -1) for label in given_labels.tolist()])
        rules, scores = [], []
        args = (self.settings_["D"], 0.0, self.settings_["Alpha"], float(self.settings_["ChoiceTest"]))
        for v, (T, L) in enumerate(zip(self.templates_, self.box_classes_)):
            K = T.shape[0]
            lower_all, upper_all = T[:, :W].copy(), T[:, W:].copy()
            # (Slow learning closes an open feature step by step: a reversal beyond rounding.)
            open_ = (lower_all == 1) & (upper_all == 0) | (lower_all - upper_all > 1e-9)
            lower_all[open_] = -np.inf
            upper_all[open_] = np.inf
            if Xs is not None:
                missing = np.isnan(Xs)
                count = np.array([np.sum(np.all((Xs >= lower_all[k]) & (Xs <= upper_all[k]) | missing, axis=1))
                                  for k in range(K)])
                order = np.argsort(-count, kind="stable")
            else:
                count, order = None, np.arange(K)
            if simplify:
                # Where boxes overlap the smaller one wins: read as a list, the smaller
                # rules come first.
                sizes = np.sum(np.minimum(upper_all[order], 1) - np.maximum(lower_all[order], 0), axis=1)
                order = order[np.argsort(sizes, kind="stable")]
                network_class = engine.vorla_eval(T, self.nlabels_[v], *args, np.asfortranarray(Xs), 0, 0)[:, 0]
                held_by = np.zeros((Xs.shape[0], K), dtype=bool)
                conditions = [0, 0]
            for i, k in enumerate(order):
                lower, upper = lower_all[k, first], upper_all[k, first]
                with np.errstate(invalid="ignore"):
                    lo_units, up_units = low + lower * width, low + upper * width
                lo_units[lower == -np.inf] = -np.inf
                up_units[upper == np.inf] = np.inf
                lo_units[features] = np.nan
                up_units[features] = np.nan
                held = [None] * M
                sets = np.zeros(M, dtype=bool)
                for j, known in zip(features, getattr(self, "categories_", [])):
                    held[j] = known[_held_categories(lower_all[k], upper_all[k], first[j], span[j], len(known))]
                    sets[j] = held[j].size < len(known)
                if unscaled:
                    frm, to = lower > -np.inf, upper < np.inf
                    frm[features] = to[features] = False
                else:
                    frm, to = bounded & (lower > 0), bounded & (upper < 1)
                if simplify:
                    before = int(frm.sum() + to.sum() + sets.sum())
                    frm, to, sets = _simplified(Xs[complete], lower_all[k], upper_all[k],
                                                network_class[complete] != self.nlabels_[v][k], frm, to, sets,
                                                first, span)
                    conditions = [conditions[0] + before, conditions[1] + int(frm.sum() + to.sum() + sets.sum())]
                    held_by[complete, i] = _inside(Xs[complete], lower_all[k], upper_all[k], frm, to, sets, first,
                                                   span)
                if unscaled:
                    points = np.zeros((2, M), dtype=bool)
                else:
                    points = np.vstack([to & (upper <= 0), frm & (lower >= 1)])
                rules.append(dict(network=v + 1, node=int(k) + 1, **{"class": L[k]}, lower=lo_units,
                                  upper=up_units, categories=held, count=None if count is None else int(count[k]),
                                  text=_rule_text(feature_names, lo_units, up_units, frm, to, sets, points, held,
                                                  step, L[k], digits)))
            if simplify:
                # The rules read as a list: the first that a pattern fits gives its class.
                fits = held_by.any(axis=1)
                given = np.zeros(Xs.shape[0])
                given[fits] = self.nlabels_[v][order[np.argmax(held_by[fits], axis=1)]]
                accuracy = math.nan
                if truth is not None:
                    accuracy = float(np.mean(given == truth))
                scores.append(dict(network=v + 1, conditions=conditions[0], kept=conditions[1],
                                   covered=float(fits.mean()), agreement=float(np.mean(given == network_class)),
                                   accuracy=accuracy))
        if simplify:
            return rules, scores
        return rules

    def _more_tags(self):
        return {"requires_y": True, "allow_nan": self.missing_values != "error"}


def _objects(X, categorical):
    """A list of rows as objects where features may be categorical, so that the data
    checks do not turn numbers beside texts into texts."""
    if categorical is not None and isinstance(X, (list, tuple)):
        return np.array(X, dtype=object)
    return X


def _prepare_missing(X, index, how, fill, coding=None):
    """The training patterns under missing_values, and the fill values: 'impute' fills
    each NaN (fill None: the training medians, of a categorical feature the most frequent
    category); 'inside' leaves NaN to the engine, but a pattern with every feature missing
    says nothing and is left out."""
    if how == "impute":
        X, fill = _layer.fill_missing(X, fill, _layer.categorical_features(coding))
        return X, index, fill
    gone = np.isnan(X).all(axis=1) & (X.shape[1] > 0) if X.dtype.kind == "f" else np.zeros(X.shape[0], bool)
    if gone.any():
        warnings.warn("%s: %d patterns have every feature missing and are left out" % (WHO, gone.sum()),
                      _checks.MissingWarning, stacklevel=4)
        X, index = X[~gone], index[~gone]
        if index.size == 0:
            raise ValueError("%s: every pattern has every feature missing; there is nothing to train on" % WHO)
    return X, index, None


def _inside(Xs, lower, upper, frm, to, sets, first, span):
    """The coded patterns that fit the conditions left of a box."""
    fits = np.ones(Xs.shape[0], dtype=bool)
    for j in np.flatnonzero(frm):
        fits &= Xs[:, first[j]] >= lower[first[j]]
    for j in np.flatnonzero(to):
        fits &= Xs[:, first[j]] <= upper[first[j]]
    for j in np.flatnonzero(sets):
        columns = slice(first[j], first[j] + span[j])
        fits &= np.all((Xs[:, columns] >= lower[columns]) & (Xs[:, columns] <= upper[columns]), axis=1)
    return fits


def _simplified(Xs, lower, upper, other, frm, to, sets, first, span):
    """Drops the conditions of a box that keep out no pattern of another class: the box
    so relaxed takes in no pattern that the network gives another class, beyond those the
    whole box holds. Conditions that keep out the fewest such patterns go first."""
    other = other & ~_inside(Xs, lower, upper, frm, to, sets, first, span)
    if not other.any():
        none = np.zeros_like(frm)
        return none, none.copy(), none.copy()
    kinds = np.vstack([frm, to, sets])
    # In the order of the Octave layer's find: feature by feature, then the kind.
    feature, kind = np.nonzero(kinds.T)
    strength = np.zeros(kind.size)
    for c in range(kind.size):
        alone = np.zeros_like(kinds)
        alone[kind[c], feature[c]] = True
        strength[c] = np.sum(other & ~_inside(Xs, lower, upper, *alone, first, span))
    for c in np.argsort(strength, kind="stable"):
        trial = kinds.copy()
        trial[kind[c], feature[c]] = False
        if not _inside(Xs[other], lower, upper, *trial, first, span).any():
            kinds = trial
    return kinds[0], kinds[1], kinds[2]


def _held_categories(lower, upper, first, span, L):
    """Which of a feature's L categories, coded, lie inside the box in its columns."""
    codes = np.arange(L, dtype=np.float64)[:, None] if span == 1 else np.eye(L) / L
    columns = slice(first, first + span)
    return np.all((codes >= lower[columns]) & (codes <= upper[columns]), axis=1)


def _finest_steps(X, numeric):
    """Per feature the smallest difference between its distinct values (NaN for fewer
    than two, and for the categorical features)."""
    step = np.full(X.shape[1], np.nan)
    for j in numeric:
        values = np.unique(X[~np.isnan(X[:, j]), j])
        if values.size > 1:
            step[j] = np.diff(values).min()
    return step


def _bound_text(value, digits, step):
    """digits significant digits, or where the feature's values lie closer together than
    those show, as many decimals as their finest step needs."""
    text = "%.*g" % (digits, value)
    if not math.isnan(step) and abs(float(text) - value) > step / 2:
        text = "%.*f" % (min(17, max(0, -math.floor(math.log10(step)))), value)
    return text


def _pair_text(lower, upper, digits, step):
    """Two bounds that differ never read alike."""
    a, b = _bound_text(lower, digits, step), _bound_text(upper, digits, step)
    while a == b and digits < 17:
        digits += 1
        a, b = _bound_text(lower, digits, step), _bound_text(upper, digits, step)
    return a, b


def _rule_text(names, lower, upper, frm, to, sets, points, held, step, label, digits):
    """points[0, i]: the box reaches no higher than the smallest training value of
    feature i, so it holds that value alone; points[1, i] the same at the largest."""
    parts = []
    for i, name in enumerate(names):
        if frm[i] and to[i] and lower[i] >= upper[i]:
            parts.append("%s = %s" % (name, _bound_text(lower[i], digits, step[i])))
        elif frm[i] and to[i]:
            a, b = _pair_text(lower[i], upper[i], digits, step[i])
            parts.append("%s <= %s <= %s" % (a, name, b))
        elif frm[i]:
            parts.append("%s %s %s" % (name, "=" if points[1, i] else ">=", _bound_text(lower[i], digits, step[i])))
        elif to[i]:
            parts.append("%s %s %s" % (name, "=" if points[0, i] else "<=", _bound_text(upper[i], digits, step[i])))
        elif sets[i]:
            texts = [_coding.category_text(value) for value in held[i].tolist()]
            parts.append("%s = %s" % (name, texts[0]) if len(texts) == 1 else "%s in {%s}" % (name, ", ".join(texts)))
    if isinstance(label, (float, np.floating)):
        label = _coding.category_text(label)  # 1, not 1.0: as the labels were given
    if not parts:
        return "always %s" % (label,)
    return "if %s then %s" % (" and ".join(parts), label)
