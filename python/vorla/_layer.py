"""The model layer's arithmetic, as the Octave layer does it, step for step: scaling, the
seeded orders, the inner folds, the networks of a call, the vote and the search. The same
data, settings and seed give the same bits in both."""

import contextlib
import io
import math
import os
import time
import warnings

import numpy as np

from . import engine

SAFETY_CAP = 1000
CONTINUE_STEP = 2654435769  # a call's seed: mod(seed + calls * step, 2^32)

# The generator's two multiplicative congruential parts.
_M = (2147483563, 2147483399)
_A = (40014, 40692)
_BLOCK = 65536
_powers = None


def _power_table():
    """a^k mod m for k = 1..65536, for both parts (exact in 64-bit integers)."""
    global _powers
    if _powers is None:
        table = np.empty((_BLOCK, 2), dtype=np.int64)
        for j in range(2):
            x = 1
            for k in range(_BLOCK):
                x = x * _A[j] % _M[j]
                table[k, j] = x
        _powers = table
    return _powers


def seeded_uniform(state, n):
    """n numbers in (0, 1) and the state that continues the stream; state is a seed (a
    whole number in [0, 2^32)) or a state that an earlier call returned."""
    if np.isscalar(state) or isinstance(state, int):
        seed = int(state)
        state = tuple(pow(1 + (seed + offset) % (m - 1), 5, m) for offset, m in zip((1234567, 7654321), _M))
    powers = _power_table()
    u = np.empty(n)
    done = 0
    s1, s2 = state
    while done < n:
        count = min(_BLOCK, n - done)
        x1 = s1 * powers[:count, 0] % _M[0]
        x2 = s2 * powers[:count, 1] % _M[1]
        z = (x1 - x2) % (_M[0] - 1)
        z[z == 0] = _M[0] - 1
        u[done:done + count] = z / _M[0]
        s1, s2 = int(x1[-1]), int(x2[-1])
        done += count
    return u, (s1, s2)


def seeded_permutations(seed, sizes):
    """A 0-based permutation of range(size) for each size, drawn in turn from the seed."""
    orders = []
    state = seed
    for size in sizes:
        keys, state = seeded_uniform(state, int(size))
        orders.append(np.argsort(keys, kind="stable"))
    return orders


def stratified_folds(index, K, seed):
    """Fold numbers 1..K: each class's patterns in a seeded order, dealt in turn."""
    index = np.asarray(index)
    C = int(index.max()) if index.size else 0
    members = [np.flatnonzero(index == c) for c in range(1, C + 1)]
    orders = seeded_permutations(seed, [m.size for m in members])
    folds = np.zeros(index.shape[0])
    after = 0
    for m, order in zip(members, orders):
        folds[m[order]] = np.mod(after + np.arange(m.size), K) + 1
        after += m.size
    return folds


def scale(X, value_range):
    """X scaled into [0, 1] by a 2 x M range, values beyond it clipped (vorla_scale)."""
    X = np.asarray(X, dtype=np.float64)
    Xs = scale_unclipped(X, value_range)  # a new array, in column order
    # As vorla_scale: comparisons leave NaN (missing) and -0 as they are.
    Xs[Xs < 0] = 0.0
    Xs[Xs > 1] = 1.0
    return Xs


def whole_range(X):
    """Each feature's smallest and largest value, NaN left out (a feature without
    values: NaN), as Octave's min and max."""
    X = np.asarray(X, dtype=np.float64)
    if X.shape[0] == 0:
        return np.zeros((2, X.shape[1]))
    if not np.isnan(X).any():
        return np.vstack([X.min(axis=0), X.max(axis=0)])
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)
        return np.vstack([np.nanmin(X, axis=0), np.nanmax(X, axis=0)])


def robust_range(X):
    """The training range, except a feature squashed by far values: the span of its
    values within the outer fences Q1 - 3 IQR .. Q3 + 3 IQR. With NaN, each feature by
    its observed values (a feature with none: [0; 0])."""
    X = np.asarray(X, dtype=np.float64)
    missing = np.isnan(X)
    if missing.any():
        value_range = np.zeros((2, X.shape[1]))
        for j in range(X.shape[1]):
            observed = X[~missing[:, j], j]
            if observed.size:
                value_range[:, j] = robust_range(observed[:, None])[:, 0]
        return value_range
    ordered = np.sort(X, axis=0)
    n = ordered.shape[0]
    if n == 0:
        return np.zeros((2, ordered.shape[1]))
    value_range = np.vstack([ordered[0], ordered[-1]])
    q1 = ordered[math.ceil(0.25 * n) - 1]
    q3 = ordered[math.ceil(0.75 * n) - 1]
    spread = q3 - q1
    for j in np.flatnonzero(spread > 0):
        column = ordered[:, j]
        inside = column[(column >= q1[j] - 3 * spread[j]) & (column <= q3[j] + 3 * spread[j])]
        if value_range[1, j] - value_range[0, j] > 2 * (inside[-1] - inside[0]):
            value_range[:, j] = [inside[0], inside[-1]]
    return value_range


def apply_scale(X, option, coding=None):
    """(Xs, range, kind) for the Scale option: 'robust', 'auto', 'none' or a 2 x M range;
    Xs coded (code_patterns). Categorical features take no part in the range: theirs reads
    [0; 1], the span of their columns (a given range is kept as given)."""
    features = categorical_features(coding)
    if not features:
        if isinstance(option, str):
            if option == "auto":
                value_range = whole_range(X)
                return scale_unclipped(X, value_range), value_range, "auto"
            if option == "robust":
                value_range = robust_range(X)
                return scale(X, value_range), value_range, "robust"
            return X, None, "none"
        value_range = np.asarray(option, dtype=np.float64)
        return scale(X, value_range), value_range, "range"
    numeric = np.ones(X.shape[1], dtype=bool)
    numeric[features] = False
    if isinstance(option, str) and option != "none":
        value_range = np.tile([[0.0], [1.0]], (1, X.shape[1]))
        value_range[:, numeric] = (whole_range if option == "auto" else robust_range)(X[:, numeric])
        kind = option
    elif isinstance(option, str):
        value_range, kind = None, "none"
    else:
        value_range, kind = np.asarray(option, dtype=np.float64), "range"
    return code_patterns(X, value_range, coding), value_range, kind


def categorical_features(coding):
    """The 0-based indices of the categorical features of a coding (None: none)."""
    return [] if coding is None else list(coding["features"])


def coded_layout(coding, M):
    """(first, count): feature j's first column among those the networks see, and its
    columns: 1 for a numeric feature and for a categorical one of L <= 2 categories (at 0
    and 1), L otherwise (one per category)."""
    count = np.ones(M, dtype=np.int64)
    for j, known in zip(categorical_features(coding), [] if coding is None else coding["categories"]):
        count[j] = len(known) if len(known) > 2 else 1
    first = np.concatenate([[0], np.cumsum(count[:-1])]).astype(np.int64) if M else count
    return first, count


def code_patterns(X, value_range, coding):
    """The columns that the networks see. Numeric features are scaled by the range (None:
    as given). A categorical feature (X holding the 1-based position of its category, NaN
    for a missing one) of L categories takes L indicator columns, the category's at 1 / L
    and the rest at 0, so that a box holds a set of categories and spans k / L in the
    feature for k >= 2 of them; two categories take one column at 0 and 1, the same
    geometry. A missing category is NaN in every indicator: inside every box there."""
    features = categorical_features(coding)
    if not features:
        return X if value_range is None else scale(X, value_range)
    N, M = X.shape
    numeric = np.ones(M, dtype=bool)
    numeric[features] = False
    first, count = coded_layout(coding, M)
    Xs = np.zeros((N, int(count.sum())), order="F")
    Xs[:, first[numeric]] = X[:, numeric] if value_range is None else scale(X[:, numeric], value_range[:, numeric])
    for j, known in zip(features, coding["categories"]):
        position = X[:, j]
        if count[j] == 1:
            Xs[:, first[j]] = position - 1
        else:
            L = len(known)
            seen = np.flatnonzero(position >= 1)
            Xs[seen, first[j] - 1 + position[seen].astype(np.int64)] = 1 / L
            Xs[np.ix_(np.isnan(position), first[j] + np.arange(L))] = np.nan
    return Xs


def scale_unclipped(X, value_range):
    """vorla_scale (X) with its own range: the same quotients, with nothing to clip."""
    X = np.asarray(X, dtype=np.float64)
    lo = value_range[0]
    width = value_range[1] - lo
    constant = width == 0
    width = np.where(constant, 1.0, width)
    Xs = (X - lo) / width
    Xs[:, constant] = 0 * X[:, constant]
    wide = np.isinf(width)
    if wide.any():
        Xs[:, wide] = (X[:, wide] / 2 - lo[wide] / 2) / (value_range[1, wide] / 2 - lo[wide] / 2)
    return np.asfortranarray(Xs)


def fit_network(Xs, index, order, args, tolerant, display="off", start=None, name="", heading=""):
    """One network on the patterns in the given order (None: as they are); args are D,
    vigilance, alpha, learning rate, cap, trim, choice test, trace. Returns (Templates,
    NLabels, presentations)."""
    if order is not None:
        Xs = Xs[order]
        index = index[order]
    if heading:
        print(heading)
    # Missing features (NaN) take vorla_learn's rule; vorla_fit refuses them.
    if start is None and not tolerant and display != "iter" and not np.isnan(Xs).any():
        T, L, n = engine.vorla_fit(Xs, index, *args)
    else:
        T0, L0 = start if start is not None else (np.zeros((0, 0)), np.zeros((0, 1)))
        T, L, n = engine.vorla_learn(Xs, index, *args, float(tolerant), float(display == "iter"), T0, L0)
    return T, L.ravel(), int(n[0, 0])


def fit_batch(Xs, index, orders, args, tolerant, threads, start=None, seconds=None):
    """The networks of fit_network (display off) in one vorla_learn call on that many
    threads (0: every usable core), network k on the patterns in orders[k] (None: as they
    are); the same bits as one call each. start: each network's nodes to go on from.
    seconds, a list, receives the seconds that each network took."""
    rows = [np.arange(1.0, Xs.shape[0] + 1) if order is None else order + 1.0 for order in orders]
    if start is None:
        T0, L0 = np.zeros((0, 0)), np.zeros((0, 1))
    else:
        T0, L0 = [T for T, _ in start], [L for _, L in start]
    out = engine.vorla_learn(Xs, index, *args, float(tolerant), 0.0, T0, L0, rows, float(threads),
                             nargout=3 if seconds is None else 4)
    T, L, n = out[:3]
    if seconds is not None:
        seconds.extend(float(out[3][k][-1, 3]) for k in range(len(rows)))
    return [(T[k], L[k].ravel(), int(n.flat[k])) for k in range(len(rows))]


def final_line(name, n, cap, nodes, seconds):
    """The line of display 'final' for one network, counted as 'iter' counts: a
    converged run's last presentation only confirmed it, and is named, not counted."""
    plural = "" if n == 1 else "s"
    if n < cap:
        how = "converged after %d list presentation%s (presentation %d changed nothing)" % (n, plural, n + 1)
    else:
        how = "stopped at its cap of %d list presentation%s" % (n, plural)
    return "vorla_train: %s%s, %d nodes, %.2f s" % (name, how, nodes, seconds)


def fit_network_timed(*task):
    """fit_network, and the seconds it took."""
    started = time.perf_counter()
    T, L, n = fit_network(*task)
    return T, L, n, time.perf_counter() - started


def fit_network_printed(*task):
    """fit_network in a worker process: the network, what it printed (headings, the
    trace, progress), for the caller to print in the order of a serial run, and the
    seconds it took."""
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        T, L, n, seconds = fit_network_timed(*task)
    return T, L, n, out.getvalue(), seconds


def fill_missing(X, fill=None, categorical=()):
    """(X with each NaN replaced by its feature's fill value, fill); fill None takes each
    feature's median of the values in X, the mean of the two middle order statistics, or
    for the features listed in categorical (their categories' positions) the most frequent
    one, the smallest of a tie (0 for a feature with no value): the values that
    missing_values='impute' keeps."""
    X = np.array(X, dtype=np.float64)
    missing = np.isnan(X)
    if fill is None:
        fill = np.zeros(X.shape[1])
        for j in range(X.shape[1]):
            v = np.sort(X[~missing[:, j], j])
            n = v.size
            if n and j in categorical:
                values, runs = np.unique(v, return_counts=True)
                fill[j] = values[int(np.argmax(runs))]
            elif n:
                fill[j] = (v[(n - 1) // 2] + v[n // 2]) / 2
    X[missing] = np.broadcast_to(fill, X.shape)[missing]
    return X, fill


def idle_cores():
    """The cores that other processes leave free (the load average counts this process
    too): on a busy machine more threads only queue. VORLA_WORKER_COST set (the tests)
    leaves the load out."""
    try:
        cores = len(os.sched_getaffinity(0))
    except (AttributeError, OSError):
        cores = os.cpu_count() or 1
    try:
        load = os.getloadavg()[0]
    except (AttributeError, OSError):
        return cores
    try:
        cost = float(os.environ.get("VORLA_WORKER_COST", "nan"))
    except ValueError:
        cost = math.nan
    if not math.isfinite(cost):
        cores = max(1, min(cores, round(cores - load + 1)))
    return cores


def net_classes(templates, nlabels, args, Xs, trace=0, threads=1):
    """The class number one network gives each row of Xs (0: none), as vorla_eval gives
    it; a row with a missing feature, which vorla_eval leaves unclassified, gets the class
    of vorla_score's search, where NaN lies inside every box. With no trace every class
    comes from vorla_score asked for the classes alone (class_count 0), which costs on one
    thread what vorla_eval costs, or less, on threads (0: every usable core, where other
    processes leave two or more idle). Given lists of networks (templates and nlabels) and
    of their patterns (Xs, or one matrix for all), with no trace, the list of each
    network's classes, from one vorla_score call whose threads share out the networks."""
    if trace == 0:
        if threads == 0 and idle_cores() < 2:
            threads = 1
        classes = engine.vorla_score(templates, nlabels, *args, Xs, 0.0, float(threads))[1]
        return [c[:, 0] for c in classes] if isinstance(templates, list) else classes[:, 0]
    gaps = np.isnan(Xs).any(axis=1)
    classes = np.zeros(Xs.shape[0])
    if not gaps.all():
        classes[~gaps] = engine.vorla_eval(templates, nlabels, *args, np.asfortranarray(Xs[~gaps]), 0, trace)[:, 0]
    if gaps.any():
        classes[gaps] = engine.vorla_score(templates, nlabels, *args, np.asfortranarray(Xs[gaps]), 0.0)[1][:, 0]
    return classes


def vote(classes, C):
    """The most votes, of tied classes the first; 0 where no network classifies."""
    N = classes.shape[0]
    votes = np.zeros((N, max(C, 1)))
    rows = np.arange(N)
    for v in range(classes.shape[1]):
        column = classes[:, v].astype(np.int64)
        voted = column > 0
        votes[rows[voted], column[voted] - 1] += 1
    index = votes.argmax(axis=1) + 1
    index[votes.max(axis=1) == 0] = 0
    return index, votes


def choice_margins(best):
    """Per pattern and class, (1 + the class's best choice value - the best of the others) / 2."""
    N, C = best.shape
    if C == 0:
        return best.copy()
    if C == 2:
        # The other column, as the general case below gives it.
        return (1 + best - best[:, ::-1]) / 2
    at = best.argmax(axis=1)
    top = best[np.arange(N), at]
    others = np.repeat(top[:, None], C, axis=1)
    if C > 1:
        runner = best.copy()
        runner[np.arange(N), at] = -np.inf
        others[np.arange(N), at] = runner.max(axis=1)
    else:
        others[:] = 0
    return (1 + best - others) / 2


def classify(templates, nlabels, args, Xs, C, trace=0, scores=False, threads=1):
    """Each network's class per pattern (N x V) and, with scores, the margins summed;
    threads as vorla_score's (0: every usable core)."""
    N = Xs.shape[0]
    V = len(templates)
    chosen = np.zeros((N, V))
    summed = np.zeros((N, C)) if scores else None
    for v in range(V):
        if scores and trace == 0:
            best, classes = engine.vorla_score(templates[v], nlabels[v], *args, Xs, C, float(threads))
            chosen[:, v] = classes[:, 0]
        else:
            chosen[:, v] = net_classes(templates[v], nlabels[v], args, Xs, trace, threads)
            if scores:
                best = engine.vorla_score(templates[v], nlabels[v], *args, Xs, C, float(threads))[0]
        if scores:
            summed = summed + choice_margins(best)
    return chosen, summed


# The search: the options it may choose and their default values.
SEARCHABLE = ("Vigilance", "Voters", "MatchTracking", "MaxPresentations", "ChoiceTest", "Alpha", "LearningRate")
DEFAULT_SPACE = {
    "Vigilance": [0, 0.5, 0.7, 0.8, 0.9],
    "Voters": [1, 3, 10],
    "MatchTracking": ["tolerant", "strict"],
    "MaxPresentations": [1, math.inf],
    "ChoiceTest": [False, True],
    "Alpha": [0.001, 0.1, 1],
    "LearningRate": [1, 0.5],
}
GRID_KEYS = ("D", "Vigilance", "Alpha", "LearningRate", "MaxPresentations", "ChoiceTest", "MatchTracking")


def setting_grid(opts, names, space):
    """Every combination of the named options' values, the first changing fastest."""
    base = {key: opts[key] for key in GRID_KEYS}
    values = [list(space[name]) for name in names]
    sizes = [len(v) for v in values]
    settings = []
    for j in range(int(np.prod(sizes)) if sizes else 1):
        s = dict(base)
        rest = j
        for name, vals in zip(names, values):
            s[name] = vals[rest % len(vals)]
            rest //= len(vals)
        settings.append(s)
    return settings


def _network_args(s, cap_trim=0, trace=0):
    cap = SAFETY_CAP if math.isinf(s["MaxPresentations"]) else s["MaxPresentations"]
    return (s["D"], s["Vigilance"], s["Alpha"], s["LearningRate"], cap, cap_trim, float(s["ChoiceTest"]), trace)


def held_out_networks(Xs, index, orders, args, tolerant, eval_args, Xv, threads=1):
    """Networks of the search on one inner fold, one per order: the classes each gives the
    held-out patterns, and its nodes (batch_rung for one task, as a worker process runs it)."""
    return batch_rung([(Xs, index, orders, args, tolerant, eval_args, Xv, 0)], threads)[0]


def serial(function, tasks):
    return [function(*task) for task in tasks]


# A batch's stacked training parts stay within this many bytes a call; a larger part goes
# alone, uncopied (the Octave layer's stack_limit).
STACK_LIMIT = 2 ** 24


def learn_batch(jobs, threads):
    """The networks of several jobs in as few vorla_learn calls as their settings allow,
    as the Octave layer's learn_batch: job = (Xs, index, part, orders, vigilances, args)
    with args (D, alpha, learning rate, cap, trim, choice test, tolerant); jobs of one part
    share Xs, stacked once (within STACK_LIMIT bytes a call); jobs whose args agree share
    a call, each network's order pointing into its own part, the highest vigilance first.
    Returns, per job, the list of (Templates, NLabels, presentations), bit for bit those
    of fit_network."""
    nets = [None] * len(jobs)
    groups = {}
    for j, job in enumerate(jobs):
        groups.setdefault(tuple(job[5]), []).append(j)
    for members in groups.values():
        chunk, parts, size = [], set(), 0
        for j in sorted(members, key=lambda j: jobs[j][2]):
            if jobs[j][2] not in parts:
                if chunk and size + jobs[j][0].nbytes > STACK_LIMIT:
                    _one_batch(jobs, chunk, threads, nets)
                    chunk, parts, size = [], set(), 0
                parts.add(jobs[j][2])
                size += jobs[j][0].nbytes
            chunk.append(j)
        _one_batch(jobs, chunk, threads, nets)
    return nets


def _one_batch(jobs, members, threads, nets):
    offsets, stack, labels = {}, [], []
    rows = 0
    for j in members:
        Xs, index, part = jobs[j][:3]
        if part not in offsets:
            offsets[part] = rows
            stack.append(Xs)
            labels.append(index)
            rows += Xs.shape[0]
    orders, vigilance, owner = [], [], []
    for j in members:
        Xs, _, part, job_orders, job_vigilance, _ = jobs[j]
        for order, rho in zip(job_orders, job_vigilance):
            own = np.arange(Xs.shape[0]) if order is None else order
            orders.append((offsets[part] + own + 1).astype(np.int32))  # half the bytes of doubles
            vigilance.append(rho)
            owner.append(j)
    longest = np.argsort(-np.asarray(vigilance), kind="stable")
    D, alpha, rate, cap, trim, choice, tolerant = jobs[members[0]][5]
    patterns = stack[0] if len(stack) == 1 else np.asfortranarray(np.vstack(stack))
    T, L, n = engine.vorla_learn(patterns, labels[0] if len(labels) == 1 else np.concatenate(labels), D,
                                 np.asarray(vigilance)[longest], alpha, rate, cap, trim, choice, 0.0,
                                 float(tolerant), 0.0, np.zeros((0, 0)), np.zeros((0, 1)),
                                 [orders[i] for i in longest], float(threads))
    made = [None] * len(orders)
    for k, i in enumerate(longest):
        made[i] = (T[k], L[k].ravel(), int(n.flat[k]))
    for j in members:
        nets[j] = [made[i] for i in range(len(orders)) if owner[i] == j]


def batch_rung(tasks, threads):
    """held_out_networks for every task of a round of the search, all networks trained
    at once by learn_batch (the tasks of one inner fold share its training part)."""
    jobs = []
    for Xs, index, orders, args, tolerant, _, _, part in tasks:
        D, rho, alpha, rate, cap, trim, choice, _ = args
        jobs.append((Xs, index, part, orders, [rho] * len(orders), (D, alpha, rate, cap, trim, choice, tolerant)))
    nets = learn_batch(jobs, threads)
    out = [[None] * len(task_nets) for task_nets in nets]
    # The held-out patterns of every network in one call per kind of classification.
    kinds = {}
    for i, task in enumerate(tasks):
        kinds.setdefault(tuple(task[5]), []).append(i)
    for args, members in kinds.items():
        owners = [(i, j) for i in members for j in range(len(nets[i]))]
        classes = net_classes([nets[i][j][0] for i, j in owners], [nets[i][j][1] for i, j in owners], args,
                              [tasks[i][6] for i, _ in owners], 0, threads)
        for (i, j), c in zip(owners, classes):
            out[i][j] = (c, nets[i][j][1].size)
    return out


def search_settings(X, index, opts, search, report=print, run=serial, threads=1):
    """Chooses the options search['Names'] on inner folds of the training data; returns
    the chosen options and the results (Optimized, KFold, Seed, Best, BestAccuracy,
    Trials). run(function, tasks) gives [function(*task) for task in tasks], in worker
    processes or here: the tasks take nothing from the process that runs them. threads:
    those of each task's batch (the networks of a setting on a fold)."""
    names = search["Names"]
    space = search["Space"]
    grid_names = [n for n in names if n != "Voters"]
    counts = [opts["Voters"]]
    if "Voters" in names:
        counts = sorted(set(space["Voters"]))
    settings = setting_grid(opts, grid_names, space)
    if len(settings) > search["MaxEvaluations"]:
        keep = seeded_permutations(search["Seed"], [len(settings)])[0]
        settings = [settings[i] for i in np.sort(keep[:int(search["MaxEvaluations"])])]
    rungs = counts
    if len(settings) > 1:
        rungs = sorted(set([3] + counts))
        rungs = [r for r in rungs if r <= max(counts)]

    folds = search["Folds"]
    if folds is None:
        folds = stratified_folds(index, search["KFold"], search["Seed"])
    K = int(folds.max())
    held_out = folds > 0
    parts = []
    top = max(rungs)
    for k in range(1, K + 1):
        training = folds != k
        part = {"orders": [None] + seeded_permutations(search["Seed"], [int(training.sum())] * (top - 1))}
        part["Xs"], value_range, kind = apply_scale(X[training], opts["Scale"], opts.get("Coding"))
        part["Xs"] = np.asfortranarray(part["Xs"])
        part["index"] = index[training]
        part["Xv"] = np.asfortranarray(code_patterns(X[~training], value_range, opts.get("Coding")))
        part["held"] = folds == k
        parts.append(part)

    S = len(settings)
    N = index.shape[0]
    C = int(index.max())
    classes = [np.zeros((N, 0)) for _ in range(S)]
    nodes = [np.zeros((K, 0)) for _ in range(S)]
    alive = list(range(S))
    trials = []
    done = 0
    for r, rung in enumerate(rungs):
        first = done + 1
        done = rung
        places, tasks = [], []
        for j in alive:
            s = settings[j]
            if classes[j].shape[1] < done:
                classes[j] = np.hstack([classes[j], np.zeros((N, done - classes[j].shape[1]))])
                nodes[j] = np.hstack([nodes[j], np.zeros((K, done - nodes[j].shape[1]))])
            for k, part in enumerate(parts):
                places.append((j, k))
                tasks.append((part["Xs"], part["index"], part["orders"][first - 1:done], _network_args(s),
                              s["MatchTracking"] == "tolerant", (s["D"], 0, s["Alpha"], float(s["ChoiceTest"])),
                              part["Xv"], threads))
        if run is serial:
            # Here every task's networks train in one batch; worker processes take one task each.
            made = batch_rung([task[:7] + (k,) for task, (_, k) in zip(tasks, places)], threads)
        else:
            made = run(held_out_networks, tasks)
        for (j, k), nets in zip(places, made):
            for v, (got, count) in enumerate(nets, start=first):
                classes[j][parts[k]["held"], v - 1] = got
                nodes[j][k, v - 1] = count
        score = []
        for j in alive:
            for v in sorted(set([c for c in counts if first <= c <= done] + [done])):
                predicted, _ = vote(classes[j][held_out, :v], C)
                accuracy = np.mean(predicted == index[held_out])
                trial = {"Setting": settings[j], "Voters": v, "Accuracy": float(accuracy),
                         "Nodes": float(np.mean(nodes[j][:, :v].sum(axis=1)))}
                trials.append(trial)
                if search["Display"] == "iter":
                    row = dict(settings[j], Voters=v)
                    report("  %s: inner accuracy %.2f%%, %.1f nodes" % (setting_text(row, names),
                                                                         100 * trial["Accuracy"], trial["Nodes"]))
            score.append(trials[-1]["Accuracy"])
        if r < len(rungs) - 1:
            order = np.argsort(-np.asarray(score), kind="stable")
            alive = sorted(alive[i] for i in order[:math.ceil(len(alive) / 2)])

    accuracy = np.array([t["Accuracy"] if t["Voters"] in counts else -np.inf for t in trials])
    best = np.flatnonzero(accuracy == accuracy.max())
    sizes = np.array([trials[i]["Nodes"] for i in best])
    chosen = trials[best[int(np.argmin(sizes))]]
    opts = dict(opts)
    for name in grid_names:
        opts[name] = chosen["Setting"][name]
    opts["Voters"] = chosen["Voters"]
    table = []
    for t in trials:
        row = {n: (t["Voters"] if n == "Voters" else t["Setting"][n]) for n in names}
        row.update(Voters=t["Voters"], Accuracy=t["Accuracy"], Nodes=t["Nodes"])
        table.append(row)
    best_row = {n: (chosen["Voters"] if n == "Voters" else chosen["Setting"][n]) for n in names}
    results = {"Optimized": list(names), "KFold": K, "Seed": search["Seed"], "Best": best_row,
               "BestAccuracy": chosen["Accuracy"], "Trials": table}
    if search["Display"] != "off":
        report("vorla_train: chose %s (inner %d-fold accuracy %.2f%%) of %d settings tried"
               % (setting_text(best_row, names), K, 100 * chosen["Accuracy"], len(trials)))
    return opts, results


def setting_text(row, names):
    parts = []
    for name in names:
        value = row[name]
        if isinstance(value, str):
            parts.append("%s %s" % (name, value))
        else:
            parts.append("%s %s" % (name, _g(value)))
    return ", ".join(parts)


def _g(value):
    if isinstance(value, (bool, np.bool_)):
        return "%d" % value
    if isinstance(value, float) and math.isinf(value):
        return "Inf"
    return "%g" % value
