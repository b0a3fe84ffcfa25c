"""The Python host: inputs of every layout and dtype, errors as Python exceptions, the
trace on sys.stdout, Ctrl-C, the GIL, and calls from several threads."""

import ctypes
import os
import signal
import threading
import time
import tracemalloc

import numpy as np
import pytest

from vorla import engine

RNG = np.random.default_rng(3)
X = RNG.random((300, 3))
Y = 1.0 + (X[:, 0] + X[:, 1] > 1)
FIT = (3, 0.6, 0.001, 1, 1000, 0, 0, 0)  # D, vigilance, alpha, rate, cap, trim, ct, oflag


def trained():
    return engine.vorla_fit(X, Y, *FIT)


@pytest.mark.parametrize("make", [
    lambda a: np.asfortranarray(a),
    lambda a: np.ascontiguousarray(a),              # row order: copied
    lambda a: np.asfortranarray(np.repeat(a, 2, axis=1))[:, ::2],  # a strided view: copied
    lambda a: a.astype(">f8"),                      # other byte order: copied
    lambda a: (a * 1000).round().astype(np.float32) / np.float32(1000),
])
def test_every_layout_gives_the_same_result(make):
    base = make(X)
    expect = engine.vorla_fit(np.asarray(base, dtype=np.float64, order="F"), Y, *FIT)
    got = engine.vorla_fit(base, Y, *FIT)
    for a, b in zip(got, expect):
        assert np.array_equal(a, b)
    T, L, _ = got
    assert np.array_equal(engine.vorla_eval(T, L, 3, 0, 0.001, 0, base, 0, 0),
                          engine.vorla_eval(T, L, 3, 0, 0.001, 0, np.asfortranarray(base, dtype=np.float64), 0, 0))


@pytest.mark.parametrize("dtype", [np.int8, np.uint8, np.int16, np.uint16, np.int32, np.uint32, np.int64,
                                   np.uint64, np.float32, np.float64, np.bool_])
def test_integer_and_boolean_inputs_read_as_their_values(dtype):
    # Labels that follow from the values, so that no twins disagree and training converges.
    values = X > 0.5 if dtype is np.bool_ else np.round(X * 100)
    labels = (1.0 + values[:, 0]) if dtype is np.bool_ else 1.0 + (values[:, 0] + values[:, 1] > 100)
    patterns = np.asfortranarray(values.astype(dtype))
    got = engine.vorla_fit(patterns, labels.astype(dtype), 3 * (1 if dtype is np.bool_ else 100), *FIT[1:])
    expect = engine.vorla_fit(patterns.astype(np.float64), labels.astype(dtype).astype(np.float64), 3 * (1 if dtype is np.bool_ else 100), *FIT[1:])
    for a, b in zip(got, expect):
        assert np.array_equal(a, b)
    assert got[2][0, 0] < 1000


def test_score_threads_give_the_bits_of_one_thread():
    T, L, _ = trained()
    patterns = np.vstack([X, np.where(X > 0.8, np.nan, X)])  # missing features: inside every box
    one = engine.vorla_score(T, L, 3, 0.3, 0.001, 1, patterns, 2)
    for threads in (1, 0, 2, 3):
        got = engine.vorla_score(T, L, 3, 0.3, 0.001, 1, patterns, 2, threads)
        assert all(np.array_equal(a, b) for a, b in zip(got, one))


def test_a_batch_gives_each_network_what_its_own_call_gives():
    # Orders are cells of 1-based rows; given nodes one per network; outputs lists.
    T0, L0, _ = engine.vorla_fit(X[:40], Y[:40], *FIT)
    orders = [np.arange(1, 301), RNG.permutation(300) + 1, np.arange(300, 0, -2), np.zeros(0)]
    starts = [(np.zeros((0, 0)), np.zeros((0, 1))), (T0, L0), (T0[:2], L0[:2]), (T0, L0)]
    got = engine.vorla_learn(X, Y, *FIT, 1, 0, [T for T, _ in starts], [L for _, L in starts], orders, 2,
                             nargout=4)
    assert all(isinstance(out, list) and len(out) == 4 for out in (got[0], got[1], got[3]))
    assert got[2].shape == (1, 4)
    for k, (rows, (T, L)) in enumerate(zip(orders, starts)):
        rows = rows.astype(np.int64) - 1
        one = engine.vorla_learn(X[rows], Y[rows], *FIT, 1, 0, T, L, nargout=4)
        assert np.array_equal(got[0][k], one[0]) and np.array_equal(got[1][k], one[1])
        assert got[2][0, k] == one[2][0, 0] and np.array_equal(got[3][k][:, :3], one[3][:, :3])


def test_a_score_batch_gives_each_network_what_its_own_call_gives():
    # Lists of arrays make a batch, with patterns of their own or one matrix for all.
    T, L, _ = trained()
    nets = [(T, L), (T[:5], L[:5]), (np.zeros((0, 6)), np.zeros((0, 1)))]
    for patterns in ([X, X[:7], X[:0]], X):
        for threads in (1, 2):
            got = engine.vorla_score([t for t, _ in nets], [l for _, l in nets], 3, 0, 0.001, 0, patterns, 2, threads)
            assert all(isinstance(out, list) and len(out) == 3 for out in got)
            for k, (t, l) in enumerate(nets):
                own = engine.vorla_score(t, l, 3, 0, 0.001, 0, patterns[k] if isinstance(patterns, list) else patterns, 2)
                assert all(np.array_equal(a[k], b) for a, b in zip(got, own))
    with pytest.raises(ValueError, match=r"VORLA_SCORE: 1st input argument \(Templates\{2\}\) must not contain NaN"):
        engine.vorla_score([T, T * np.nan], [L, L], 3, 0, 0.001, 0, X, 2)


@pytest.mark.parametrize("orders, kind, message", [
    ([np.arange(1, 301), np.array([0.5])], ValueError,
     "VORLA_LEARN: 15th input argument (Orders) must hold in each cell a vector of whole row numbers from 1 to 300"),
    ([np.arange(1, 301), np.array(["a"])], TypeError,
     "VORLA_LEARN: 15th input argument (Orders) must be a real numeric or boolean array, not <U1."),
    (np.arange(1, 301), ValueError, "VORLA_LEARN: 15th input argument (Orders) must be a two-dimensional cell array"),
])
def test_bad_orders_are_refused(orders, kind, message):
    with pytest.raises(kind) as raised:
        engine.vorla_learn(X, Y, *FIT, 1, 0, np.zeros((0, 0)), np.zeros((0, 1)), orders, 2)
    assert str(raised.value).startswith(message)


def test_column_order_input_is_read_without_a_copy():
    T, L, _ = trained()
    big = np.asfortranarray(RNG.random((400000, 3)))  # 9.6 MB
    tracemalloc.start()
    try:
        engine.vorla_eval(T, L, 3, 0, 0.001, 0, big, 0, 0)  # the result: 3.2 MB
        _, in_place = tracemalloc.get_traced_memory()
        tracemalloc.reset_peak()
        engine.vorla_eval(T, L, 3, 0, 0.001, 0, np.ascontiguousarray(big), 0, 0)
        _, copied = tracemalloc.get_traced_memory()
    finally:
        tracemalloc.stop()
    assert in_place < 1e6
    assert copied > big.nbytes


def test_outputs_own_their_blocks():
    T, L, n = trained()
    assert T.flags.owndata is False and T.base is not None  # held by the engine's block
    assert T.flags.f_contiguous and T.shape[1] == 6 and L.shape == (T.shape[0], 1) and n.shape == (1, 1)
    del T
    assert L.sum() > 0  # each output stands alone


@pytest.mark.parametrize("call, kind, message", [
    (lambda: engine.vorla_fit(X, Y[:5], *FIT), ValueError,
     "VORLA_FIT: 2nd input argument (PLabels) must be of type  300x1 or 1x300."),
    (lambda: engine.vorla_fit(X, Y, 3, 2, 0.001, 1, 1000, 0, 0, 0), ValueError,
     "VORLA_FIT: 4th input argument (vigilance) must be in [0.0, 1.0]."),
    (lambda: engine.vorla_fit(np.where(X > 0.5, np.nan, X), Y, *FIT), ValueError,
     "VORLA_FIT: 1st input argument (Patterns) must not contain NaN or Inf values."),
    (lambda: engine.vorla_fit(X.astype(complex), Y, *FIT), TypeError,
     "VORLA_FIT: 1st input argument (Patterns) must be a real numeric or boolean array, not complex128."),
    (lambda: engine.vorla_fit(X, Y.astype(str), *FIT), TypeError,
     "VORLA_FIT: 2nd input argument (PLabels) must be a real numeric or boolean array, not <U32."),
    (lambda: engine.vorla_eval(np.zeros((1, 6)), [1], 3, 0, 0.001, 0, X, 0, "x"), TypeError,
     "VORLA_EVAL: 9th input argument (oflag) must be a real numeric or boolean array, not <U1."),
    (lambda: engine.vorla_score(np.zeros((1, 6)), [3], 3, 0, 0.001, 0, X, 2), ValueError,
     "VORLA_SCORE: 2nd input argument (NLabels) must hold class numbers 1 to class_count (2); entry 1 is not one."),
    (lambda: engine.vorla_score(np.zeros((1, 6)), [1], 3, 0, 0.001, 0, X, 2, -1), ValueError,
     "VORLA_SCORE: 9th input argument (threads) must be a whole number from 0 to 2147483647"),
    (lambda: engine.vorla_learn(X, Y, *FIT, 1, 0, np.zeros((1, 5)), [1]), ValueError,
     "VORLA_LEARN: 13th input argument (Templates0) must have 6 columns"),
    (lambda: engine.vorla_fit(np.zeros((2, 2, 2)), [1, 2], *FIT), ValueError,
     "VORLA_FIT: 1st input argument (Patterns) must be  a two dimensional array (matrix)."),
])
def test_errors_are_python_exceptions_with_the_engine_message(call, kind, message):
    with pytest.raises(kind) as raised:
        call()
    assert str(raised.value).startswith(message)


def test_trace_and_progress_go_to_sys_stdout(capsys):
    engine.vorla_fit(X[:20], Y[:20], *FIT[:-1], 3)
    out = capsys.readouterr().out
    assert "List presentation #1:" in out and "Pattern #20 " in out
    engine.vorla_learn(X, Y, *FIT, 1, 1, np.zeros((0, 0)), np.zeros((0, 1)))
    assert capsys.readouterr().out.startswith("vorla_learn: presentation 1: ")
    trained()
    assert capsys.readouterr().out == ""


def long_training():
    rng = np.random.default_rng(0)
    patterns = np.asfortranarray(rng.random((200000, 8)))
    return patterns, rng.integers(1, 4, 200000).astype(float), (8, 0.95, 0.001, 1, 1000, 0, 0, 0)


class MallInfo2(ctypes.Structure):
    _fields_ = [(name, ctypes.c_size_t) for name in ("arena", "ordblks", "smblks", "hblks", "hblkhd", "usmblks",
                                                      "fsmblks", "uordblks", "fordblks", "keepcost")]


def heap_in_use():
    """Bytes that malloc has handed out and not had back (the engine's blocks and nodes)."""
    libc = ctypes.CDLL(None)
    libc.mallinfo2.restype = MallInfo2
    info = libc.mallinfo2()
    return info.uordblks + info.hblkhd


def test_ctrl_c_ends_a_long_call_within_a_second_with_nothing_left():
    patterns, labels, args = long_training()
    waits = []
    sizes = []
    for _ in range(4):
        sent = []
        timer = threading.Timer(0.5, lambda: (sent.append(time.monotonic()), os.kill(os.getpid(), signal.SIGINT)))
        timer.start()
        with pytest.raises(KeyboardInterrupt):
            engine.vorla_fit(patterns, labels, *args)
            time.sleep(5)  # only if training ended before the signal
        waits.append(time.monotonic() - sent[0])
        sizes.append(heap_in_use())
    assert max(waits) < 1.0
    # Each run holds tens of megabytes of nodes when it is stopped: none of it stays.
    assert sizes[-1] - sizes[0] < 1e6
    assert trained()[0].shape[0] > 0  # the engine still works


def test_the_gil_is_released_while_the_engine_works():
    patterns, labels, args = long_training()
    done = threading.Event()
    ticks = []

    def count():
        while not done.is_set():
            ticks.append(time.monotonic())
            time.sleep(0.001)

    counter = threading.Thread(target=count)
    counter.start()
    try:
        start = time.monotonic()
        engine.vorla_fit(patterns[:30000], labels[:30000], *args[:4], 1, 0, 0, 0)
        took = time.monotonic() - start
    finally:
        done.set()
        counter.join()
    assert took > 0.05
    during = [t for t in ticks if start <= t <= start + took]
    assert len(during) > 0.3 * took / 0.0015


def test_calls_from_several_threads_at_once_keep_their_own_values():
    # Each thread trains, classifies and scores under an alpha of its own while the others
    # run, and gets what the same calls give one after another.
    alphas = [0.001, 0.5, 0.0, 2.5, 0.01, 1.0]

    def calls(alpha):
        templates, labels = engine.vorla_fit(X, Y, 3, 0.6, alpha, 1, 1000, 0, 0, 0)[:2]
        return [templates, labels, engine.vorla_eval(templates, labels, 3, 0.6, alpha, 0, X, 0, 0),
                *engine.vorla_score(templates, labels, 3, 0, alpha, 0, X, 2)]

    expect = [calls(alpha) for alpha in alphas]
    start = threading.Barrier(len(alphas))
    wrong = []

    def work(k):
        start.wait()
        for _ in range(10):
            if not all(np.array_equal(a, b) for a, b in zip(calls(alphas[k]), expect[k])):
                wrong.append(k)

    threads = [threading.Thread(target=work, args=(k,)) for k in range(len(alphas))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert wrong == []
    # The alphas make different models and scores, so a call that took another's values shows.
    assert len({e[0].tobytes() for e in expect}) > 2 and len({e[3].tobytes() for e in expect}) == len(alphas)
