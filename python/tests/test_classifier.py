"""The estimator's own behaviour: options and their errors, continued training, pickling,
the scores, the rules, worker processes and scikit-learn's model selection tools."""

import functools
import math
import pickle
import re
import warnings

import numpy as np
import pytest
from sklearn.datasets import load_iris
from sklearn.model_selection import GridSearchCV, cross_val_score
from sklearn.pipeline import make_pipeline
from sklearn.preprocessing import StandardScaler

import vorla
from vorla import FuzzyARTMAPClassifier

P = np.mod(np.arange(1, 121)[:, None] * np.array([0.6180339887, 0.4142135623]), 1)
C = np.where(np.sum((P - 0.5) ** 2, axis=1) > 0.1, "out", "in")
ONE = dict(optimize_hyperparameters="none", voters=1)


def same_model(a, b):
    return (all(np.array_equal(s, t) for s, t in zip(a.templates_, b.templates_))
            and all(np.array_equal(s, t) for s, t in zip(a.nlabels_, b.nlabels_))
            and len(a.templates_) == len(b.templates_) and np.array_equal(a.classes_, b.classes_))


@pytest.mark.parametrize("options, message", [
    (dict(vigilance=2), "vigilance must be a number in [0, 1]; 2 given"),
    (dict(alpha=-1), "alpha must be a finite number >= 0; -1 given"),
    (dict(learning_rate=0), "learning_rate must be a number in (0, 1]; 0 given"),
    (dict(max_presentations=1.5), "max_presentations must be a whole number in [1, 2^31 - 1]"),
    (dict(trim=2), "trim must be True or False (or 1 or 0); 2 given"),
    (dict(scale="minmax"), "scale must be 'auto', 'none', 'robust' or a 2 x 2 range; 'minmax' given"),
    (dict(scale=np.array([[0, 1], [1, 0]])), "scale must be 'auto', 'none', 'robust' or a 2 x 2 range [smallest"),
    (dict(D=0), "D must be a finite number > 0"),
    (dict(voters=0), "voters must be a whole number in [1, 10000]; 0 given"),
    (dict(random_state=-1), "random_state must be None, a whole number in [0, 2^32)"),
    (dict(match_tracking="loose"), "match_tracking must be 'strict' or 'tolerant'; 'loose' given"),
    (dict(display=1), "display must be 'off', 'iter' or 'final'; 1 given"),
    (dict(trace=5), "trace must be one of 0, 1, 2, 3, 4; 5 given"),
    (dict(missing_values="drop"), "missing_values must be 'inside', 'impute' or 'error'; 'drop' given"),
    (dict(n_jobs=0), "n_jobs must be None or a whole number other than 0 (-1: every core); 0 given"),
    (dict(n_jobs=1.5), "n_jobs must be None or a whole number other than 0"),
    (dict(optimize_hyperparameters=["scale"]), "optimize_hyperparameters names an option that cannot be searched"),
    (dict(optimize_hyperparameters=1), "optimize_hyperparameters must be 'none', 'auto', 'all' or a list"),
    (dict(hyperparameter_optimization_options={"folds": 2}), "has no key folds"),
    (dict(hyperparameter_optimization_options={"kfold": 500}), "the inner kfold must be at most the number of"),
    (dict(hyperparameter_optimization_options={"search_space": {"vigilance": [0, 2]}}),
     "vigilance must be a number in [0, 1]; 2 given"),
    (dict(hyperparameter_optimization_options={"cv": [1] * 120}), "cv holds every pattern out in one test"),
])
def test_bad_options_are_value_errors_that_name_the_option(options, message):
    with pytest.raises(ValueError) as raised:
        FuzzyARTMAPClassifier(**options).fit(P, C)
    assert str(raised.value).startswith("FuzzyARTMAPClassifier: ")
    assert message in str(raised.value)


def test_an_option_given_a_value_is_not_searched():
    searched = FuzzyARTMAPClassifier(optimize_hyperparameters=["vigilance", "voters"]).fit(P, C)
    assert searched.search_results_["Optimized"] == ["Vigilance", "Voters"]
    fixed = FuzzyARTMAPClassifier(vigilance=0.5, optimize_hyperparameters=["vigilance", "voters"]).fit(P, C)
    assert fixed.search_results_["Optimized"] == ["Voters"] and fixed.settings_["Vigilance"] == 0.5
    assert not hasattr(FuzzyARTMAPClassifier(vigilance=0.5).fit(P, C), "search_results_")
    # The chosen vigilance, given by name, gives the searched model.
    chosen = searched.settings_
    again = FuzzyARTMAPClassifier(vigilance=chosen["Vigilance"], voters=chosen["Voters"]).fit(P, C)
    assert same_model(searched, again)


def test_partial_fit_goes_on_from_the_model_as_one_presentation_of_all_would():
    # Fast learning, one presentation, one scaling: chunk by chunk is the model of one call.
    options = dict(ONE, scale=np.array([[0, 0], [1, 1]]), max_presentations=1)
    whole = FuzzyARTMAPClassifier(**options).fit(P, C)
    chunked = FuzzyARTMAPClassifier(**options)
    for part in np.array_split(np.arange(120), 3):
        chunked.partial_fit(P[part], C[part])
    assert same_model(whole, chunked)
    assert [h["Patterns"] for h in chunked.history_] == [40, 40, 40]


def test_partial_fit_classes_and_the_settings_a_model_keeps():
    model = FuzzyARTMAPClassifier(**ONE).partial_fit(P[:10], C[:10], classes=["in", "out", "zz"])
    assert list(model.classes_) == ["in", "out", "zz"]
    with pytest.raises(ValueError, match="not in the classes of the first partial_fit call"):
        model.partial_fit(P[:2], ["in", "new"])
    grown = FuzzyARTMAPClassifier(**ONE).partial_fit(P[:10], C[:10]).partial_fit(P[10:12], ["aa", "in"])
    assert list(grown.classes_) == ["in", "out", "aa"]  # new classes follow, as in the Octave layer
    model.set_params(voters=3)
    with pytest.raises(ValueError, match=r"a continued model keeps its voters \(1\); 3 given"):
        model.partial_fit(P[10:20], C[10:20])
    model.set_params(voters=None, scale="auto")
    with pytest.raises(ValueError, match=r"keeps its scale \('robust'\); 'auto' given"):
        model.partial_fit(P[10:20], C[10:20])
    model.set_params(scale="robust", vigilance=0.9)
    model.partial_fit(P[10:20], C[10:20])
    assert model.settings_["Vigilance"] == 0.9 and model.history_[0]["Vigilance"] == 0.0
    before = [T.copy() for T in model.templates_]
    model.partial_fit(np.zeros((0, 2)), np.array([], dtype=str))
    assert all(np.array_equal(a, b) for a, b in zip(before, model.templates_))


def test_pickling_round_trips_and_the_copy_goes_on_alike():
    model = FuzzyARTMAPClassifier(voters=3, vigilance=0.3).fit(P[:80], C[:80])
    copy = pickle.loads(pickle.dumps(model))
    assert same_model(model, copy)
    assert np.array_equal(model.decision_function(P), copy.decision_function(P))
    assert same_model(model.partial_fit(P[80:], C[80:]), copy.partial_fit(P[80:], C[80:]))


def test_scores_predict_proba_and_decision_function_agree_with_predict():
    model = FuzzyARTMAPClassifier(voters=5, vigilance=0.5).fit(P, C)
    proba = model.predict_proba(P)
    assert np.allclose(proba.sum(axis=1), 1) and set(np.unique(proba * 5)) <= set(range(6))
    predicted = model.predict(P)
    assert np.array_equal(model.classes_[proba.argmax(axis=1)], predicted)
    one = FuzzyARTMAPClassifier(**ONE).fit(P, C)
    decision = one.decision_function(P)
    assert decision.shape == (120,)
    assert np.array_equal(one.classes_[(decision > 0).astype(int)], one.predict(P))
    three = FuzzyARTMAPClassifier(**ONE).fit(P, np.where(P[:, 0] > 0.6, "z", C))
    margins = three.decision_function(P)
    assert margins.shape == (120, 3) and np.all((margins >= 0) & (margins <= 1))
    assert np.array_equal(three.classes_[margins.argmax(axis=1)], three.predict(P))


def test_unclassified_patterns_get_the_unknown_label():
    # With the choice test, a pattern far from every box is refused by all of them.
    X = np.array([[0.0, 0.0], [0.05, 0.0], [1.0, 1.0], [0.95, 1.0]])
    y = np.array([1, 1, 2, 2])
    far = np.array([[0.0, 1.0]])
    model = FuzzyARTMAPClassifier(choice_test=True, alpha=1, scale="none", **ONE).fit(X, y)
    assert model.predict(far)[0] == 1  # the most frequent class, the first of tied ones
    assert model.set_params(unknown_label=-1).predict(far)[0] == -1
    assert np.array_equal(model.predict_proba(far), [[0.0, 0.0]])


def test_rules_read_the_boxes_in_data_units():
    X = np.array([[1, 10], [2, 12], [8, 30], [9, 40]])
    model = FuzzyARTMAPClassifier(**ONE).fit(X, ["small", "small", "big", "big"])
    rules = model.rules(feature_names=["w", "h"], X=X)
    assert [r["text"] for r in rules] == ["if w <= 2 and h <= 12 then small", "if w >= 8 and h >= 30 then big"]
    assert [r["count"] for r in rules] == [2, 2]
    with pytest.raises(ValueError, match="feature_names must hold 2 names"):
        model.rules(feature_names=["w"])
    # Values closer together than four digits show: as many decimals as their finest step needs.
    X = np.array([[1.52101], [1.52102], [1.52103], [1.52111], [1.52112]])
    model = FuzzyARTMAPClassifier(**ONE).fit(X, [0, 0, 1, 1, 1])
    for rules in (model.rules(), model.rules(X=X)[::-1]):
        assert [r["text"] for r in rules] == ["if x1 <= 1.52102 then 0", "if x1 >= 1.52103 then 1"]


@pytest.mark.parametrize("threads, kind, message", [
    (0, ValueError, "threads must be None (every usable core) or a whole number from 1 to 2^31 - 1; 0 given"),
    (2**31, ValueError, "a whole number from 1 to 2^31 - 1; 2147483648 given"),
    (2.0, TypeError, "threads must be None (every usable core) or a whole number >= 1; 2.0 given"),
    (True, TypeError, "a whole number >= 1; True given"),
    ("2", TypeError, "a whole number >= 1; '2' given"),
])
def test_bad_threads_are_refused_in_fit_and_in_prediction(threads, kind, message):
    with pytest.raises(kind, match="^FuzzyARTMAPClassifier: .*" + re.escape(message)):
        FuzzyARTMAPClassifier(threads=threads, **ONE).fit(P, C)
    model = FuzzyARTMAPClassifier(**ONE).fit(P, C).set_params(threads=threads)
    for method in (model.predict, model.predict_proba, model.decision_function):
        with pytest.raises(kind, match=re.escape(message)):
            method(P)


@pytest.mark.parametrize("options", [
    dict(voters=5, vigilance=0.5),
    dict(voters=1, vigilance=0.7, optimize_hyperparameters="none"),
    # Patterns refused by every box, and missing features (inside every box).
    dict(voters=3, vigilance=0.6, choice_test=True, alpha=1, scale="none"),
])
@pytest.mark.filterwarnings("ignore::vorla.VorlaWarning")
def test_threads_give_the_same_predictions_and_scores(options, monkeypatch):
    monkeypatch.setenv("VORLA_WORKER_COST", "0")  # every core counts as usable, however busy
    Q = np.vstack([P, [[0.5, np.nan], [np.nan, 0.1], [5.0, 5.0]]])
    model = FuzzyARTMAPClassifier(threads=1, **options).fit(P, C)
    expect = [model.predict(Q), model.predict_proba(Q), model.decision_function(Q)]
    for threads in (2, 3, None):
        model.set_params(threads=threads)
        got = [model.predict(Q), model.predict_proba(Q), model.decision_function(Q)]
        assert all(np.array_equal(a, b) for a, b in zip(got, expect))


@pytest.mark.parametrize("options", [
    dict(voters=4, vigilance=0.5),
    dict(voters=3, vigilance=0.3, match_tracking="strict", trim=True, display="final"),
    dict(voters=3, optimize_hyperparameters=["vigilance", "voters"],
         hyperparameter_optimization_options={"search_space": {"vigilance": [0, 0.6], "voters": [1, 3]}}),
])
def test_threads_train_the_same_model_search_and_continued_model(options, capsys):
    Q = np.where(np.arange(120)[:, None] % 7 == 0, np.nan, P)  # missing features: vorla_learn's rule
    untimed = functools.partial(re.compile(r"\d+\.\d+ s$", re.M).sub, "")
    serial = FuzzyARTMAPClassifier(threads=1, **options).fit(Q[:90], C[:90])
    printed = untimed(capsys.readouterr().out)
    if options.get("display") == "final":
        # As vorla_train prints it: the presentations counted as 'iter' counts them.
        assert re.match(r"vorla_train: network 1 of 3 converged after \d+ list presentations? \(presentation \d+ "
                        r"changed nothing\), \d+ nodes, $", printed.splitlines()[0])
    for threads in (2, None):
        model = FuzzyARTMAPClassifier(threads=threads, **options).fit(Q[:90], C[:90])
        assert untimed(capsys.readouterr().out) == printed
        assert same_model(model, serial) and np.array_equal(model.presentations_, serial.presentations_)
        assert getattr(model, "search_results_", None) == getattr(serial, "search_results_", None)
        continued = capsys.readouterr().out, model.partial_fit(Q[90:], C[90:]), untimed(capsys.readouterr().out)
        expect = FuzzyARTMAPClassifier(threads=1, **options).fit(Q[:90], C[:90])
        expect = capsys.readouterr().out, expect.partial_fit(Q[90:], C[90:]), untimed(capsys.readouterr().out)
        assert same_model(continued[1], expect[1]) and continued[2] == expect[2]


@pytest.mark.parametrize("n_jobs, workers", [(None, 1), (1, 1), (3, 3), (-1, "cores"), (-10**6, 1)])
def test_n_jobs_counts_workers_as_joblib_does(n_jobs, workers):
    from joblib import cpu_count
    assert vorla._checks.worker_count(n_jobs) == (cpu_count() if workers == "cores" else workers)


def test_worker_processes_make_the_same_model_and_search():
    serial = FuzzyARTMAPClassifier(voters=4, optimize_hyperparameters=["vigilance", "match_tracking"]).fit(P, C)
    parallel = FuzzyARTMAPClassifier(voters=4, optimize_hyperparameters=["vigilance", "match_tracking"], n_jobs=2)
    assert same_model(serial, parallel.fit(P, C))
    assert parallel.search_results_ == serial.search_results_


@pytest.mark.parametrize("shown", [dict(display="iter"), dict(display="final"), dict(trace=3)])
def test_worker_processes_print_what_a_serial_run_prints_in_its_order(shown, capsys, monkeypatch):
    seconds = re.compile(r"\d+\.\d+ s\b|in \d+ seconds")
    serial = FuzzyARTMAPClassifier(voters=3, vigilance=0.4, **shown).fit(P, C)
    printed = seconds.sub("", capsys.readouterr().out)

    def here(*task):
        raise AssertionError("a network trained in this process")
    monkeypatch.setattr(vorla._layer, "fit_network", here)  # the workers keep their own
    parallel = FuzzyARTMAPClassifier(voters=3, vigilance=0.4, n_jobs=2, **shown).fit(P, C)
    assert printed and seconds.sub("", capsys.readouterr().out) == printed
    assert same_model(serial, parallel)


@pytest.mark.parametrize("X, y, rows", [
    ([[0.1, 0.2], [0.1, 0.3], [0.1, 0.2]], [1, 2, 2], "rows 1, 3"),      # twins behind a shared first feature
    ([[0.1, 0.2], [0.1, 0.3], [0.5, 0.2]], [1, 2, 2], None),             # first feature shared, no twins
    ([[0.5, 0.0], [0.2, 0.0], [0.5, 0.0], [0.2, 0.0]], [1, 1, 2, 2], "rows 1, 2, 3, 4"),
])
def test_conflicts_name_the_rows_of_twins_with_other_labels(X, y, rows):
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        FuzzyARTMAPClassifier(scale="none", **ONE).fit(X, y)
    said = [str(w.message) for w in caught if issubclass(w.category, vorla.ConflictWarning)]
    assert len(said) == (rows is not None) and (rows is None or "(%s)" % rows in said[0])


@pytest.mark.parametrize("X, y, options, warning", [
    (np.vstack([P, P[:2]]), np.append(C, ["out", "in"]), {}, vorla.ConflictWarning),
    (P * 10, C, dict(scale="none"), vorla.UnscaledWarning),
    (P, C, dict(scale=np.array([[0, 0], [0.1, 1]])), vorla.ClippedWarning),
    (P, np.ones(120), {}, vorla.OneClassWarning),
    (np.array([[0.5], [0.5]]), [1, 2], dict(match_tracking="strict"), vorla.CapWarning),
])
def test_training_warns_as_the_octave_layer_does(X, y, options, warning):
    with pytest.warns(warning):
        FuzzyARTMAPClassifier(**ONE, **options).fit(X, y)


def test_model_selection_tools_and_pipelines():
    X, y = load_iris(return_X_y=True)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        scores = cross_val_score(FuzzyARTMAPClassifier(), X, y, cv=5)
        grid = GridSearchCV(FuzzyARTMAPClassifier(voters=3), {"vigilance": [0.0, 0.6, 0.8]}, cv=3).fit(X, y)
        piped = cross_val_score(make_pipeline(StandardScaler(), FuzzyARTMAPClassifier(vigilance=0.7)), X, y, cv=3)
    assert scores.mean() > 0.9 and piped.mean() > 0.85
    assert grid.best_params_["vigilance"] in (0.0, 0.6, 0.8) and grid.best_score_ > 0.85


# -- missing values ----------------------------------------------------------------------

@pytest.mark.parametrize("column, fill", [
    ([3, 1, np.nan, 2, np.nan], 2),    # odd count: the middle value
    ([10, np.nan, 1, 4, 2], 3),        # even count: the mean of the two middle values
    ([np.nan] * 5, 0),                 # no value: 0
])
def test_imputed_values_are_the_medians_of_the_observed_values(column, fill):
    X = np.column_stack([column, np.arange(5.0)])
    model = FuzzyARTMAPClassifier(missing_values="impute", **ONE).fit(X, [0, 1, 0, 1, 0])
    assert model.impute_.tolist() == [fill, 2]


def test_ranges_leave_out_missing_values():
    X = np.column_stack([np.append(P[:, 0], [np.nan, 50]), np.append(P[:, 1], [np.nan, np.nan])])
    lo, hi = P.min(axis=0), P.max(axis=0)
    assert np.array_equal(vorla._layer.robust_range(X), [lo, hi])  # 50 fenced off, as without NaN
    assert np.array_equal(vorla._layer.whole_range(X), [lo, [50, hi[1]]])


@pytest.mark.parametrize("how", ["inside", "impute", "error"])
def test_missing_values_options_take_nan_as_the_octave_layer_does(how):
    X = P.copy()
    X[::7, 0] = np.nan
    X[4::14, 1] = np.nan
    X = np.vstack([X, [np.nan, np.nan]])
    y = np.append(C, "out")
    model = FuzzyARTMAPClassifier(missing_values=how, voters=3)
    assert model._get_tags()["allow_nan"] == (how != "error")
    with pytest.raises(ValueError, match="infinity"):
        FuzzyARTMAPClassifier(missing_values=how).fit(np.where(np.isnan(X), np.inf, X), y)
    if how == "error":
        with pytest.raises(ValueError, match="NaN"):
            model.fit(X, y)
        with pytest.raises(ValueError, match="NaN"):
            model.fit(P, C).predict(X)
        return
    if how == "inside":
        with pytest.warns(vorla.MissingWarning, match="1 patterns have every feature missing and are left out"):
            model.fit(X, y)
        assert model.class_counts_.sum() == P.shape[0]
        with pytest.warns(vorla.MissingWarning, match="1 patterns have every feature missing and get unknown_label"):
            assert model.predict_proba(X[-1:]).sum() == 0 and model.decision_function(X[-1:]).tolist() == [0]
    else:
        model.fit(X, y)
        assert np.array_equal(model.predict_proba(X), model.predict_proba(np.where(np.isnan(X), model.impute_, X)))
    # Every network classifies a pattern with some features missing, as with none.
    assert np.all(model.predict_proba(X[:-1]).sum(axis=1) == 1)
    fill = model.impute_
    model.partial_fit(X[:10], y[:10])
    assert (model.impute_ is None) if fill is None else np.array_equal(model.impute_, fill)
    with pytest.raises(ValueError, match="keeps its missing_values"):
        model.set_params(missing_values="error").partial_fit(P[:10], C[:10])


# -- categorical features ------------------------------------------------------------------

COLOURS = np.array(["red", "green", "blue"], dtype=object)[np.arange(120) % 3]
MIXED = np.column_stack([P[:, 0], COLOURS])  # a numeric feature beside a text one
MIXED_LABELS = np.where((COLOURS == "red") | (P[:, 0] > 0.7), "yes", "no")


def test_categorical_features_name_the_same_features_in_every_form():
    pandas = pytest.importorskip("pandas")
    frame = pandas.DataFrame({"width": P[:, 0], "colour": COLOURS})
    base = FuzzyARTMAPClassifier(categorical_features=[1], **ONE).fit(MIXED, MIXED_LABELS)
    assert base.categories_[0].tolist() == ["blue", "green", "red"] and base.templates_[0].shape[1] == 8
    for given, X in [([False, True], MIXED), (["colour"], frame), ([1], MIXED.tolist())]:
        assert same_model(base, FuzzyARTMAPClassifier(categorical_features=given, **ONE).fit(X, MIXED_LABELS))
    # Codes that are numbers: the same boxes as their texts, which sort alike here.
    codes = np.column_stack([P[:, 0], np.searchsorted(["blue", "green", "red"], COLOURS) * 10.0])
    assert same_model(base, FuzzyARTMAPClassifier(categorical_features=[1], **ONE).fit(codes, MIXED_LABELS))


@pytest.mark.parametrize("given, message", [
    ([2], "categorical_features must be None, 'all', a boolean mask of 2, distinct feature indices in 0..1"),
    ([1, 1], "distinct feature indices"),
    ([True], "a boolean mask of 2"),
    ("some", "categorical_features must be None"),
])
def test_bad_categorical_features_are_refused(given, message):
    with pytest.raises(ValueError, match=message.replace("(", r"\(").replace(".", r"\.")):
        FuzzyARTMAPClassifier(categorical_features=given, **ONE).fit(MIXED, MIXED_LABELS)


def test_no_categorical_features_and_infinite_codes():
    plain = FuzzyARTMAPClassifier(**ONE).fit(P, C)
    assert same_model(plain, FuzzyARTMAPClassifier(categorical_features=[], **ONE).fit(P, C))
    with pytest.raises(ValueError, match="categorical feature 1 of X holds infinity"):
        FuzzyARTMAPClassifier(categorical_features=[1], **ONE).fit(np.column_stack([P[:, 0], [np.inf] * 120]), C)


def test_categories_training_never_saw_are_missing_values():
    model = FuzzyARTMAPClassifier(categorical_features=[1], **ONE).fit(MIXED, MIXED_LABELS)
    new = MIXED[:6].copy()
    new[:3, 1] = "purple"
    gaps = MIXED[:6].copy()
    gaps[:3, 1] = None
    with pytest.warns(vorla.CategoryWarning, match="3 values of X are categories that training never saw"):
        unseen = model.decision_function(new)
    assert np.array_equal(unseen, model.decision_function(gaps))
    with pytest.raises(ValueError, match="knows the categories of feature 1 as text, but X gives numbers"):
        model.predict(np.column_stack([P[:2, 0], [1.0, 2.0]]))
    with pytest.raises(ValueError, match="mixes texts and numbers"):
        model.predict(np.array([[0.5, "red"], [0.5, 3]], dtype=object))
    strict = FuzzyARTMAPClassifier(categorical_features=[1], missing_values="error", **ONE)
    with pytest.raises(ValueError, match="feature 1 of X has 3 missing values"):
        strict.fit(np.vstack([MIXED, gaps[:3]]), np.append(MIXED_LABELS, ["no"] * 3))
    with pytest.raises(ValueError, match="3 missing or unseen categories"):
        strict.fit(MIXED, MIXED_LABELS).predict(new)


def test_a_continued_model_keeps_its_categories():
    model = FuzzyARTMAPClassifier(categorical_features=[1], **ONE).partial_fit(MIXED[:60], MIXED_LABELS[:60])
    more = np.vstack([MIXED[60:], [[0.5, "purple"]]])
    with pytest.warns(vorla.CategoryWarning, match="1 values of X"):
        model.partial_fit(more, np.append(MIXED_LABELS[60:], "yes"))
    assert model.categories_[0].tolist() == ["blue", "green", "red"]
    with pytest.raises(ValueError, match=r"keeps its categorical_features \(\[1\]\); \[0, 1\] given"):
        model.set_params(categorical_features="all").partial_fit(MIXED[:5], MIXED_LABELS[:5])


def test_imputed_categories_are_the_most_frequent_the_smallest_of_a_tie():
    X = np.array([[3, 0.1], [1, 0.2], [3, 0.3], [1, 0.4], [np.nan, 0.5], [7, 0.6]])
    model = FuzzyARTMAPClassifier(categorical_features=[0], missing_values="impute", **ONE).fit(X, [0, 1, 0, 1, 0, 1])
    assert model.impute_[0] == 1  # the position of category 1, tied with 3


def test_simplified_rules_keep_the_conditions_that_keep_out_the_other_class():
    Z = np.array([[0.1, 0.2], [0.2, 0.9], [0.3, 0.5], [0.7, 0.1], [0.8, 0.8], [0.9, 0.4]])
    labels = ["a", "a", "a", "b", "b", "b"]
    model = FuzzyARTMAPClassifier(vigilance=0.5, **ONE).fit(Z, labels)
    rules, scores = model.rules(X=Z, simplify=True, labels=labels)
    # The example of vorla_rules: the smallest box first, one condition each left.
    assert [r["text"] for r in rules] == ["if x1 <= 0.3 then a", "if x1 = 0.9 then b", "if x1 <= 0.2 then a",
                                          "if x1 >= 0.7 then b"]
    assert scores == [dict(network=1, conditions=12, kept=4, covered=1.0, agreement=1.0, accuracy=1.0)]
    _, scores = model.rules(X=Z, simplify=True, labels=["a", "a", "a", "b", "b", "c"])
    assert scores[0]["accuracy"] == 5 / 6
    assert math.isnan(model.rules(X=Z, simplify=True)[1][0]["accuracy"])
    for call, message in [(dict(simplify=True), "simplify needs the training patterns as X"),
                          (dict(X=Z, simplify=1), "simplify must be True or False"),
                          (dict(X=Z, simplify=True, labels=["a"]), "labels must hold one label per row of X: 1 given")]:
        with pytest.raises(ValueError, match=message):
            model.rules(**call)


def test_rules_read_category_sets_open_features_and_count_missing_values_inside():
    X = np.array([[0.0, 1, 0], [0.2, 1, 0], [1.0, 1, 1], [np.nan, 2, 1], [np.nan, 3, 1]])
    model = FuzzyARTMAPClassifier(categorical_features=[1], vigilance=0.1, **ONE).fit(X, [0, 0, 0, 1, 1])
    rules = model.rules(feature_names=["x", "kind", "flag"], X=X)
    # The second box was made from patterns without x: open there, no condition; flag
    # reaches only the edge of its range, so it holds that value alone.
    assert [r["text"] for r in rules] == ["if kind = 1 then 0", "if kind in {2, 3} and flag = 1 then 1"]
    assert [r["count"] for r in rules] == [3, 2]
    assert rules[1]["lower"][0] == -np.inf and rules[1]["upper"][0] == np.inf
    assert rules[1]["categories"][1].tolist() == [2, 3] and rules[1]["categories"][0] is None
