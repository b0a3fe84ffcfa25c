"""The Python layer makes the Octave layer's models, bit for bit: parity_hashes.txt holds
what parity_octave.m computed in Octave for each case (hashes of the doubles, node counts,
chosen settings), and each case here makes the same model through Python."""

import hashlib
import pathlib
import warnings

import numpy as np
import pytest

from vorla import FuzzyARTMAPClassifier

HERE = pathlib.Path(__file__).parent


def digest(x):
    return hashlib.sha256(np.asarray(x, dtype=np.float64).tobytes(order="F")).hexdigest()


def data():
    n = np.arange(1, 91)[:, None]
    P = np.mod(n * np.array([0.6180339887, 0.4142135623]), 1)
    c = 1 + (np.sum((P - 0.5) ** 2, axis=1) > 0.1).astype(float)
    c[79:90:2] = 3
    Q = np.mod(np.arange(1, 51)[:, None] * np.array([0.7548776662, 0.5698402910]), 1)
    return P, c, Q


def gaps(P, c, Q):
    """The data with missing features: scattered NaN, a training row and a query row with none."""
    G = P.copy()
    G[4:90:7, 0] = np.nan
    G[8:90:11, 1] = np.nan
    R = Q.copy()
    R[2:50:5, 0] = np.nan
    R[3:50:9, 1] = np.nan
    R[49] = np.nan
    return np.vstack([G, [[np.nan, np.nan]]]), np.append(c, 1), R


def categorical():
    """Two categorical features beside the numeric ones (codes, with NaN; a query code
    that training never saw), and two text features (with '' missing; an unseen text)."""
    P, c, Q = data()
    n, m = np.arange(1, 91), np.arange(1, 51)
    Z = np.column_stack([P, np.mod(n, 4) * 10 + 5, np.mod(n // 3, 2)])
    Z[6:90:13, 2] = np.nan
    z = c.copy()
    z[(Z[:, 2] == 25) & (Z[:, 3] == 1)] = 3
    S = np.column_stack([Q, np.mod(m, 5) * 10 + 5, np.mod(m, 2)])
    S[3:50:11, 2] = np.nan
    colours, sizes = np.array(["red", "green", "blue", "purple"], dtype=object), np.array(["small", "large"], dtype=object)
    W = np.column_stack([colours[np.mod(n, 3)], sizes[np.mod(n // 2, 2)]])
    W[4:90:17, 0] = ""
    W[10:90:23, 1] = ""
    V = np.column_stack([colours[np.mod(m, 4)], sizes[np.mod(m, 2)]])
    V[2:50:9, 1] = ""
    return Z, z, S, W, c, V


def queries(case):
    P, c, Q = data()
    if case in ("categorical", "text"):
        return categorical()[2 if case == "categorical" else 5]
    return gaps(P, c, Q)[2] if case in ("missing", "impute") else Q


def continued(P, c):
    model = FuzzyARTMAPClassifier(voters=3, random_state=2, vigilance=0.4, max_presentations=1)
    model.partial_fit(P[:60], c[:60])
    model.partial_fit(P[60:75], c[60:75])
    model.set_params(vigilance=0.6)
    return model.partial_fit(np.vstack([P[75:90], [[1.5, 0.5]]]), np.append(c[75:90], 3))


def make(case):
    P, c, Q = data()
    if case == "published":
        return FuzzyARTMAPClassifier(vigilance=0, voters=1, match_tracking="strict", scale="auto").fit(P, c)
    if case == "tolerant":
        twins = np.vstack([P, P[:6]])
        labels = np.append(c, 4 - c[:6])
        return FuzzyARTMAPClassifier(vigilance=0.5, alpha=0.01, voters=1, choice_test=True).fit(twins, labels)
    if case == "voters":
        return FuzzyARTMAPClassifier(voters=5, random_state=7, vigilance=0.3,
                                     optimize_hyperparameters="none").fit(P, c)
    if case == "continued":
        return continued(P, c)
    if case == "default":
        return FuzzyARTMAPClassifier().fit(P, c)
    if case == "far":
        return FuzzyARTMAPClassifier().fit(np.vstack([P, [[40, 0.5], [-30, 0.25]]]), np.append(c, [1, 2]))
    if case in ("missing", "impute"):
        G, g, _ = gaps(P, c, Q)
        # The Octave layer's UnknownLabel for double labels is NaN.
        return FuzzyARTMAPClassifier(missing_values="inside" if case == "missing" else "impute",
                                     unknown_label=np.nan).fit(G, g)
    if case == "categorical":
        Z, z = categorical()[:2]
        return FuzzyARTMAPClassifier(categorical_features=[2, 3]).fit(Z, z)
    if case == "text":
        W, c = categorical()[3:5]
        return FuzzyARTMAPClassifier(categorical_features="all", missing_values="impute", voters=3, random_state=4,
                                     vigilance=0.5).fit(W, c)
    if case == "all":
        how = {"kfold": 3, "seed": 5, "max_evaluations": 6}
        return FuzzyARTMAPClassifier(optimize_hyperparameters="all",
                                     hyperparameter_optimization_options=how).fit(P, c)
    raise AssertionError(case)


def describe(case, model, Q):
    # Octave's choice scores are one column per class; for two classes decision_function
    # gives their difference, so the table's classes are compared as Octave gives them.
    _, summed = model._classify(Q, scores=True)
    lines = {
        "templates": digest(np.concatenate([T.ravel(order="F") for T in model.templates_])),
        "nlabels": digest(np.concatenate(model.nlabels_)),
        "nodes": " ".join(str(L.size) for L in model.nlabels_) + " ",
        "presentations": " ".join(str(n) for n in model.presentations_) + " ",
        "range": digest(model.range_.ravel(order="F")),
        "vigilance": "%.17g" % model.settings_["Vigilance"],
        "voters": "%d" % model.settings_["Voters"],
        "labels": digest(model.predict(Q)),
        "votes": digest(model.predict_proba(Q).ravel(order="F")),
        "choice": digest((summed / len(model.templates_)).ravel(order="F")),
    }
    if model.impute_ is not None:
        lines["fill"] = digest(model.impute_)
    if case == "text":
        lines["rules"] = text_digest(model.rules(feature_names=["colour", "size"]))
    if case == "categorical":
        rules = model.rules(X=categorical()[0])
        lines["rules"] = text_digest(rules)
        lines["counts"] = digest([rule["count"] for rule in rules])
        lines["corners"] = text_digest(model.rules())
        Z, z = categorical()[:2]
        rules, scores = model.rules(X=Z, simplify=True, labels=z)
        lines["simplified"] = text_digest(rules)
        lines["simplified_scores"] = digest([s[key] for s in scores
                                             for key in ("conditions", "kept", "covered", "agreement", "accuracy")])
    return {"%s %s" % (case, key): value for key, value in lines.items()}


def text_digest(rules):
    return hashlib.sha256("\n".join(rule["text"] for rule in rules).encode()).hexdigest()


def expected():
    table = {}
    for line in (HERE / "parity_hashes.txt").read_text().splitlines():
        case, key, value = line.split(" ", 2)
        table["%s %s" % (case, key)] = value
    return table


CASES = ["published", "tolerant", "voters", "continued", "default", "far", "all", "missing", "impute", "categorical",
         "text"]


@pytest.mark.parametrize("case", CASES)
def test_same_bits_as_octave(case):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        model = make(case)
        got = describe(case, model, queries(case))
    table = expected()
    want = {key: value for key, value in table.items() if key.startswith(case + " ")}
    assert want, "no Octave lines for " + case
    assert got == want
